#include "startup/ProcessingPass.h"

#include <algorithm>
#include <memory>

#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Text.h"
#include "components/ComponentFactory.h"
#include "config/Context.h"
#include "dispatch/ArchivarXML.h"
#include "dispatch/Utilities.h"
#include "dispatch/XmlCompleteness.h"
#include "distribution/Distribution.h"
#include "platform/FileServices.h"
#include "platform/FolderListing.h"
#include "platform/Platform.h"
#include "startup/ActivityLog.h"
#include "startup/Timer.h"
#include "ui/FileList.h"
#include "ui/Window.h"

namespace tolvane::startup {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kCoverPattern = "C*.RET";
constexpr const char* kItemsPattern = "I*.RET";
const char* const kMsgAguarde = "Por favor aguarde unos instantes...";
// How long an items file must have been left alone, untouched and without its cover sheet in
// sight, before it counts as alone for good.
constexpr std::chrono::minutes kLoneItemsAge{10};

std::string LoneItemsMessage(const std::string& folder, const std::string& itemsName) {
    return "El archivo de items " + folder + itemsName +
           " está solo en la carpeta del kit: falta su carátula " +
           dispatch::CoverSheetName(itemsName) +
           " y las carpetas de respaldo no tienen una copia igual." + kCrLf +
           "Tolvane no lo envía ni lo mueve: revise ese despacho en el kit.";
}

// The pending files of the kit's folder, from one reading of it.
struct KitListing {
    std::vector<std::string> coverSheets;  // as the file list shows them
    std::vector<std::string> loneItems;    // items files whose cover sheet is not listed
    // Named as cover sheets but no regular files (folders, links, pipes): never taken, and
    // said so.
    std::vector<std::string> strangeCovers;
};

KitListing ListKit(const std::string& folder) {
    KitListing kit;
    std::vector<std::string> items, others;
    for (auto& name : platform::ListFolder(folder, {kCoverPattern, kItemsPattern}, &others)) {
        // Only a name that starts with a capital I can be the items file of a listed cover
        // sheet, and the file list's C*.RET takes a small c as well.
        (platform::MatchesPattern(name, kCoverPattern) ? kit.coverSheets : items)
            .push_back(std::move(name));
    }
    for (auto& name : others) {
        if (platform::MatchesPattern(name, kCoverPattern))
            kit.strangeCovers.push_back(std::move(name));
    }
    std::set<std::string> expected;
    for (const auto& name : kit.coverSheets)
        expected.insert(dispatch::ItemsName(name));
    for (auto& name : items) {
        if (name[0] == 'I' && expected.count(name) == 0)
            kit.loneItems.push_back(std::move(name));
    }
    return kit;
}

// How long ago the file was last written, by its modification time.
std::chrono::system_clock::duration ModifiedAgo(const platform::FileState& file) {
    return std::chrono::system_clock::now() -
           std::chrono::system_clock::time_point(
               std::chrono::duration_cast<std::chrono::system_clock::duration>(
                   std::chrono::nanoseconds(file.modifiedNs)));
}

// Not yet a whole XML document: the kit may be writing it still.
bool Unfinished(dispatch::XmlCompleteness completeness) {
    return completeness == dispatch::XmlCompleteness::Empty ||
           completeness == dispatch::XmlCompleteness::CutShort ||
           completeness == dispatch::XmlCompleteness::Malformed;
}

// The server as the log shows it: a password written into its address is left out.
std::string ServerShown(const std::string& servidor) {
    const std::size_t scheme = servidor.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t at = servidor.find('@', start);
    const std::size_t colon = servidor.find(':', start);
    if (at == std::string::npos || colon == std::string::npos || colon > at ||
        servidor.find('/', start) < at)
        return servidor;
    return servidor.substr(0, colon) + servidor.substr(at);
}

const char* HistoryShown(dispatch::HistoryRow row) {
    switch (row) {
        case dispatch::HistoryRow::Added:
            return "fila nueva";
        case dispatch::HistoryRow::AlreadyThere:
            return "ya tenía su fila";
        default:
            return "no se registra (importador excluido)";
    }
}

// The box of a failing pass, as the clerk sees it.
std::string BoxText(const Failure& failure) {
    return failure.description() + kCrLf + kCrLf + std::to_string(failure.number()) +
           " - seccion[Procesar.frmLista.Tolvane](0) - " + failure.source();
}

// Which file of the pair differs from what was read.
std::string ChangedFile(const std::string& folder, const std::string& coverName,
                        const KitPairState& read, const KitPairState& now) {
    return folder + (read.caratula != now.caratula ? coverName : dispatch::ItemsName(coverName));
}

}  // namespace

std::string DispatchShown(const std::string& name) {
    if (name.size() >= 20)
        return name.substr(name.size() - 20, 16);
    return name.substr(0, 16);
}

ProcessingPass::ProcessingPass(Context& context, ui::Window& window, ui::FileList& lst,
                               Timer& timer, Clock& clock)
    : context_(context),
      window_(window),
      lst_(lst),
      timer_(timer),
      clock_(clock),
      kitWatch_(context.os, clock) {}

void ProcessingPass::Procesar() {
    std::unique_ptr<components::Disk> disk;
    failedThisPass_ = false;
    try {
        disk = context_.factory.Create<components::Disk>(components::kDisk);
        timer_.setEnabled(false);
        const std::string folder = context_.settings.RutaKitOut;
        lst_.Point(folder, kCoverPattern);
        // One worker per kit folder: another program (another user, another computer on a
        // shared folder) in the middle of its pass has this tick.
        const auto claim = context_.os.ClaimFolder(folder);
        if (!claim) {
            timer_.setEnabled(true);
            return;
        }
        KitListing kit = ListKit(folder);
        lst_.Show(kit.coverSheets);
        window_.DoEvents();

        const auto quiet = QuietPeriod(context_.settings.ESPERA);
        std::vector<std::string> watched = lst_.names();
        for (const auto& name : kit.loneItems)
            watched.push_back(dispatch::CoverSheetName(name));
        kitWatch_.Listed(folder, watched);
        // What the pass remembers stays as large as the folder: a cover sheet seen longer ago
        // than an items file needs to be alone counts as unseen, and a dispatch no longer listed
        // is checked anew should it come back.
        const auto now = clock_.Now();
        std::erase_if(coverSeen_,
                      [&](const auto& seen) { return now - seen.second >= kLoneItemsAge; });
        for (const auto& name : lst_.names())
            coverSeen_[dispatch::ItemsName(name)] = now;
        const std::set<std::string> listedNames(watched.begin(), watched.end());
        std::erase_if(unfinished_,
                      [&](const auto& entry) { return listedNames.count(entry.first) == 0; });
        const bool goOn = HandleLoneItems(kit.loneItems, quiet);
        for (const auto& name : kit.strangeCovers) {
            if (StillSetAside(folder, name))
                continue;
            try {
                RequireOwnFiles(folder, name, kitWatch_.Look(folder, name));
            } catch (...) {
                SetAside(folder, name, CurrentFailure());
            }
        }

        // What the list shows once the pass is over: the listing, less what the pass took away.
        std::vector<std::string> left;
        const std::vector<std::string> listed = lst_.names();
        const int count = goOn ? static_cast<int>(listed.size()) : 0;
        int i = 0;
        for (; i < count; ++i) {
            if (StopRequested())
                break;
            const std::string& name = listed[static_cast<std::size_t>(i)];
            window_.SetLabel(0,
                             "Procesando Archivo " + name.substr(0, 1) + "-" + DispatchShown(name));
            window_.DoEvents();
            window_.SetLabel(1, kMsgAguarde);
            window_.DoEvents();
            window_.SetProgress(static_cast<float>((100.0 / count) * (i + 1)));
            window_.DoEvents();

            bool gone = false;
            bool stopped = false;
            // A file that went since the listing is skipped without a word, and so is one set
            // aside until its files change.
            if (!disk->ExisteArchivo(folder + name)) {
                gone = true;
            } else if (!StillSetAside(folder, name)) {
                try {
                    const auto watch = kitWatch_.WaitUntilStill(
                        folder, name, quiet, [this] { window_.DoEvents(); }, stopRequested_);
                    stopped = watch.verdict == KitWatch::Verdict::Stopped;
                    // One the kit is still writing waits for the next tick, without a word.
                    if (watch.verdict == KitWatch::Verdict::Still &&
                        watch.state.caratula.kind == platform::FileState::Kind::Regular &&
                        WrittenToTheEnd(folder, name, watch, quiet)) {
                        gone = TakeDispatch(name, watch.state);
                    }
                } catch (const Interrupted&) {
                    throw;
                } catch (...) {
                    const Failure failure = CurrentFailure();
                    // What every dispatch shares ends the pass; a dispatch at fault by itself
                    // is left where it is, and the next one goes on.
                    if (failure.scope() != Failure::Scope::Item)
                        throw;
                    SetAside(folder, name, failure);
                }
            }
            if (stopped)
                break;
            if (!gone)
                left.push_back(name);
            window_.DoEvents();
        }
        left.insert(left.end(), listed.begin() + i, listed.end());

        window_.SetLabel(0, "");
        window_.DoEvents();
        window_.SetLabel(1, "");
        window_.DoEvents();
        window_.SetProgress(0);
        lst_.Show(std::move(left));
        window_.DoEvents();
    } catch (const Interrupted&) {
        // A stop cut a wait short: no message, the program is about to end.
        timer_.setEnabled(true);
        return;
    } catch (...) {
        const Failure failure = CurrentFailure();
        Report(failure, "Pasada con falla: ");
    }
    EndPass();
    timer_.setEnabled(true);
}

bool ProcessingPass::StillSetAside(const std::string& folder, const std::string& name) {
    const auto found = setAside_.find(name);
    if (found == setAside_.end())
        return false;
    if (kitWatch_.Look(folder, name) == found->second)
        return true;
    setAside_.erase(found);  // changed: taken up again
    return false;
}

void ProcessingPass::SetAside(const std::string& folder, const std::string& name,
                              const Failure& failure) {
    setAside_[name] = kitWatch_.Look(folder, name);
    Report(failure, "Despacho apartado hasta que cambien sus archivos, " + folder + name + ": ");
}

void ProcessingPass::Report(const Failure& failure, const std::string& event) {
    const std::string text = BoxText(failure);
    Log(event + text);
    // One box per failing pass, and none while one is open: what else fails is in the log.
    if (failedThisPass_)
        return;
    failedThisPass_ = true;
    ++failuresReported_;
    if (!window_.FailureShown())
        window_.ShowFailure(text);
}

void ProcessingPass::EndPass() {
    window_.ShowWarningIcon(failedThisPass_);
    if (failedThisPass_) {
        ++failingPasses_;
        return;
    }
    if (window_.FailureShown())
        window_.CloseFailure();
    if (failingPasses_ > 0) {
        Log("Falla superada: la pasada terminó bien después de " + std::to_string(failingPasses_) +
            (failingPasses_ == 1 ? " pasada con falla" : " pasadas con falla"));
        failingPasses_ = 0;
    }
}

void ProcessingPass::Log(const std::string& event) {
    if (log_ != nullptr)
        log_->Write(event);
}

bool ProcessingPass::WrittenToTheEnd(const std::string& folder, const std::string& name,
                                     const KitWatch::Outcome& watch,
                                     std::chrono::milliseconds quiet) {
    auto known = unfinished_.find(name);
    if (known == unfinished_.end() || known->second.state != watch.state) {
        const auto caratula = dispatch::CheckXmlFile(folder + name);
        // A missing items file fails later, as it always has.
        const auto items = watch.state.items.kind == platform::FileState::Kind::Regular
                               ? dispatch::CheckXmlFile(folder + dispatch::ItemsName(name))
                               : dispatch::XmlCompleteness::Whole;
        if (!Unfinished(caratula) && !Unfinished(items)) {
            unfinished_.erase(name);
            return true;
        }
        known = unfinished_.insert_or_assign(name, UnfinishedDispatch{watch.state, items}).first;
    }
    // The kit may pause between the pieces of a file for longer than the quiet period: only
    // once the files have stayed as they are for much longer, by their modification times or
    // as this program watched them, is what is there all it wrote.
    using std::chrono::nanoseconds;
    const nanoseconds written =
        std::min(ModifiedAgo(watch.state.caratula), ModifiedAgo(watch.state.items));
    const nanoseconds unchanged = std::max(nanoseconds(watch.stillFor), written);
    if (unchanged < std::max<nanoseconds>(60 * quiet, std::chrono::minutes(1)))
        return false;
    const dispatch::XmlCompleteness items = known->second.items;
    unfinished_.erase(known);
    // An empty items file goes out as it always has; a cover sheet that is no XML fails as it
    // always has.
    if (items != dispatch::XmlCompleteness::CutShort &&
        items != dispatch::XmlCompleteness::Malformed)
        return true;
    throw Failure(
        failure_number::kLoadXmlFailure, "Tolvane",
        "El archivo de items " + folder + dispatch::ItemsName(name) +
            (items == dispatch::XmlCompleteness::CutShort
                 ? " está cortado (su elemento raíz no se cierra)"
                 : " no es un documento XML bien formado") +
            " y no cambia desde hace " +
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(unchanged).count()) +
            " segundos: el despacho no se envía. Revise el despacho en el kit y "
            "expórtelo de nuevo.",
        Failure::Scope::Item);
}

bool ProcessingPass::TakeDispatch(const std::string& name, const KitPairState& seen) {
    const std::string folder = context_.settings.RutaKitOut;
    const dispatch::ArchivoXML archived = dispatch::ArchivarXML(context_, folder, name);
    window_.DoEvents();
    if (archived.EsLAPI ||
        !distribution::SubirArchivo(context_, archived.RutaXMLCaratula, archived.RutaXMLItems)) {
        return false;
    }
    const config::Settings& s = context_.settings;
    distribution::MoverDespacho(context_, name, dispatch::ItemsName(name), [&] {
        const KitPairState now = kitWatch_.Look(folder, name);
        if (now != seen) {
            throw Failure(failure_number::kPathFileAccess, "Tolvane",
                          "El archivo " + ChangedFile(folder, name, seen, now) +
                              " cambió mientras se enviaba el despacho (el kit lo estaba "
                              "escribiendo): no se quitó de la carpeta del kit y el despacho se "
                              "tomará de nuevo, completo, en la próxima pasada.");
        }
    });
    const bool ruta2 = !text::TrimSpaces(s.RUTA2).empty();
    Log("Enviado el despacho " + archived.DESPACHO + " (" + archived.IDENTIFICADOR_PROPIO +
        "): " + platform::NameOf(archived.RutaXMLCaratula) + " e " +
        platform::NameOf(archived.RutaXMLItems) + " a " + ServerShown(s.SERVIDOR) + ", carpeta " +
        s.DIRECTORIO + "; HISTORIAL: " + HistoryShown(archived.historial) + "; copias en " +
        s.RUTA1 + (ruta2 ? " y " + s.RUTA2 : ""));
    return true;
}

bool ProcessingPass::LongAlone(const std::string& itemsName, const platform::FileState& items) {
    if (ModifiedAgo(items) < kLoneItemsAge)
        return false;
    const auto seen = coverSeen_.find(itemsName);
    return seen == coverSeen_.end() || clock_.Now() - seen->second >= kLoneItemsAge;
}

bool ProcessingPass::HandleLoneItems(const std::vector<std::string>& lone,
                                     std::chrono::milliseconds quiet) {
    std::set<std::string> reported;  // those no longer there are forgotten
    for (const auto& itemsName : lone) {
        if (loneReported_.count(itemsName) != 0)
            reported.insert(itemsName);
    }
    loneReported_ = std::move(reported);

    const std::string folder = context_.settings.RutaKitOut;
    for (const auto& itemsName : lone) {
        const auto watch = kitWatch_.WaitUntilStill(
            folder, dispatch::CoverSheetName(itemsName), quiet, [this] { window_.DoEvents(); },
            stopRequested_);
        if (watch.verdict == KitWatch::Verdict::Stopped)
            return false;
        // Its cover sheet may be arriving: the kit can write the items file first, well before
        // it when it exports a dispatch again. Only an items file that nothing has touched for
        // a while, and whose cover sheet has not been seen meanwhile, is alone for good.
        if (watch.verdict != KitWatch::Verdict::Still ||
            watch.state.caratula.kind != platform::FileState::Kind::Missing ||
            watch.state.items.kind != platform::FileState::Kind::Regular ||
            !LongAlone(itemsName, watch.state.items)) {
            continue;
        }
        if (distribution::FinishLoneItems(context_, itemsName)) {
            loneReported_.erase(itemsName);
        } else if (loneReported_.insert(itemsName).second) {
            window_.MessageBox(LoneItemsMessage(folder, itemsName),
                               ui::kMbOk | ui::kMbIconExclamation);
        }
    }
    return true;
}

}  // namespace tolvane::startup
