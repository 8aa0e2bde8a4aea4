#include "distribution/Distribution.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "common/Failure.h"
#include "common/Stop.h"
#include "components/ComponentFactory.h"
#include "config/Context.h"
#include "dispatch/Utilities.h"
#include "platform/FileServices.h"
#include "platform/FolderListing.h"
#include "platform/Platform.h"

namespace tolvane::distribution {
namespace {

constexpr const char* kCrLf = "\r\n";

// True when both files can be read and hold the same bytes.
bool SameContent(const std::string& a, const std::string& b) {
    platform::InputFile first(a), second(b);
    if (first.error() != 0 || second.error() != 0 || first.size() != second.size())
        return false;
    std::array<char, 64 * 1024> left{}, right{};
    for (;;) {
        // Regular files give whole pieces until their end.
        const std::int64_t got = first.Read(left.data(), left.size());
        if (got < 0 || second.Read(right.data(), right.size()) != got)
            return false;
        if (got == 0)
            return true;
        if (!std::equal(left.begin(), left.begin() + got, right.begin()))
            return false;
    }
}

// A backup copy's name: the kit file's own, unless the folder holds another content under it
// (a dispatch the kit exported again after it was archived). The earlier copy is never
// replaced: the new one goes beside it, named with when it came, "C…_2026-12-06_17-45-00.RET".
std::string BackupName(platform::Platform& os, const std::string& source, const std::string& folder,
                       const std::string& name) {
    if (!platform::PathExists(folder + name) || SameContent(source, folder + name))
        return name;
    const DateTime now = os.LocalNow();
    char when[32];
    std::snprintf(when, sizeof when, "_%04d-%02d-%02d_%02d-%02d-%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    const std::size_t dot = name.rfind('.');
    const std::string stem = name.substr(0, dot), extension = name.substr(dot);
    std::string dated = stem + when + extension;
    for (int again = 2;
         platform::PathExists(folder + dated) && !SameContent(source, folder + dated); ++again)
        dated = stem + when + "_" + std::to_string(again) + extension;
    return dated;
}

std::string CopyText(const char* ordinal, const std::string& source,
                     const std::string& destination) {
    return std::string(ordinal) + " copia de " + kCrLf + source + kCrLf + " a " + kCrLf +
           destination + kCrLf + kCrLf;
}

// The failure in flight, as MoverArchivo reports it.
[[noreturn]] void RaiseMoverFailure(int step, const std::string& stepText) {
    const Failure caught = CurrentFailure();
    throw Failure(failure_number::kMoverArchivo,
                  ProcedureSource("MoverArchivo", "frmLista") + " (" + std::to_string(step) +
                      "):: " + caught.source(),
                  stepText + kCrLf + caught.description());
}

// One kit file on its way to the backup folders, in two halves: the copies, then the removal.
class KitFileMove {
  public:
    KitFileMove(Context& context, components::Disk& disk, const std::string& name)
        : os_(context.os),
          settings_(context.settings),
          disk_(disk),
          name_(name),
          source_(context.settings.RutaKitOut + name) {}

    // False when the file is not there: nothing to copy or remove.
    bool Copy() {
        step_ = 40;
        if (!disk_.ExisteArchivo(source_))
            return false;
        step_ = 50;
        if (!settings_.RUTA1.empty()) {
            step_ = 60;
            const std::string copy =
                settings_.RUTA1 + BackupName(os_, source_, settings_.RUTA1, name_);
            stepText_ = CopyText("1", source_, copy);
            step_ = 80;
            disk_.CopiarArchivo(source_, copy, true);
        }
        step_ = 90;
        if (!settings_.RUTA2.empty() && settings_.RUTA2 != settings_.RUTA1) {
            step_ = 100;
            const std::string copy =
                settings_.RUTA2 + BackupName(os_, source_, settings_.RUTA2, name_);
            stepText_ = CopyText("2", source_, copy);
            step_ = 120;
            disk_.CopiarArchivo(source_, copy, true);
        }
        step_ = 150;
        return true;
    }

    void Remove() {
        step_ = 150;
        disk_.EliminarArchivo(source_, true);
    }

    // The failure in flight, for this file at the step it reached.
    [[noreturn]] void Raise() const { RaiseMoverFailure(step_, stepText_); }

  private:
    platform::Platform& os_;
    const config::Settings& settings_;
    components::Disk& disk_;
    std::string name_, source_, stepText_;
    int step_ = 30;
};

}  // namespace

bool SubirArchivo(Context& context, const std::string& p_Caratula, const std::string& p_Item) {
    int step = 30;
    try {
        const auto disk = context.factory.Create<components::Disk>(components::kDisk);
        step = 40;
        const auto uploader = context.factory.Create<components::Uploader>(components::kUploader);
        const config::Settings& s = context.settings;
        step = 50;
        uploader->setSERVIDOR(s.SERVIDOR);
        step = 60;
        uploader->setUSUARIO(s.USUARIO);
        step = 70;
        uploader->setPassword(s.PASSWORD);
        step = 80;
        uploader->setdirectorio(s.DIRECTORIO);
        step = 90;
        uploader->setautomatico(true);
        uploader->setCertificados(s.CERTIFICADOS);
        step = 100;
        const bool uploaded = uploader->SubirArchivo(p_Caratula + "|" + p_Item);
        // The local XML files go whatever the answer: a later pass writes them again.
        if (disk->ExisteArchivo(p_Caratula)) {
            step = 110;
            disk->EliminarArchivo(p_Caratula, true);
        }
        step = 110;
        if (disk->ExisteArchivo(p_Item)) {
            step = 130;
            disk->EliminarArchivo(p_Item, true);
        }
        return uploaded;
    } catch (const Interrupted&) {
        throw;
    } catch (...) {
        const Failure caught = CurrentFailure();
        throw Failure(failure_number::kSubirArchivo,
                      ProcedureSource("SubirArchivo", "frmLista") + " (" + std::to_string(step) +
                          ") " + caught.source(),
                      caught.description());
    }
}

void MoverDespacho(Context& context, const std::string& caratula, const std::string& items,
                   const std::function<void()>& confirmUnchanged) {
    std::unique_ptr<components::Disk> disk;
    try {
        disk = context.factory.Create<components::Disk>(components::kDisk);
    } catch (...) {
        RaiseMoverFailure(30, "");
    }
    KitFileMove cover(context, *disk, caratula);
    KitFileMove lines(context, *disk, items);
    KitFileMove* current = &cover;
    try {
        const bool coverThere = cover.Copy();
        current = &lines;
        const bool linesThere = lines.Copy();
        if (confirmUnchanged)
            confirmUnchanged();
        // The cover sheet first: an items file left alone is finished by a later pass, while
        // a cover sheet alone would fail every pass for want of its items.
        current = &cover;
        if (coverThere)
            cover.Remove();
        current = &lines;
        if (linesThere)
            lines.Remove();
    } catch (const Interrupted&) {
        throw;
    } catch (...) {
        current->Raise();
    }
}

bool FinishLoneItems(Context& context, const std::string& itemsName) {
    const config::Settings& s = context.settings;
    std::vector<std::string> folders;
    if (!s.RUTA1.empty())
        folders.push_back(s.RUTA1);
    if (!s.RUTA2.empty() && s.RUTA2 != s.RUTA1)
        folders.push_back(s.RUTA2);
    // Without a backup folder nothing shows that the file was ever moved.
    if (folders.empty())
        return false;
    const std::string source = s.RutaKitOut + itemsName;
    const auto disk = context.factory.Create<components::Disk>(components::kDisk);
    if (disk->ExisteArchivo(s.RutaKitOut + dispatch::CoverSheetName(itemsName)))
        return false;  // not alone: its dispatch is still to be sent
    // Its copy in each folder is under its own name, or a dated one beside an earlier copy.
    const std::string stem = itemsName.substr(0, itemsName.rfind('.'));
    for (const auto& folder : folders) {
        std::vector<std::string> copies;
        try {
            copies = platform::ListFolder(folder, {itemsName, stem + "_*.RET"});
        } catch (const Failure&) {
            return false;  // a folder that cannot be read shows no copy
        }
        if (std::none_of(copies.begin(), copies.end(), [&](const std::string& copy) {
                return SameContent(source, folder + copy);
            }))
            return false;
    }
    disk->EliminarArchivo(source, true);
    return true;
}

}  // namespace tolvane::distribution
