#include "components/uploader/CurlUploader.h"

#include <curl/curl.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "common/Stop.h"
#include "common/SystemError.h"
#include "common/Text.h"
#include "components/uploader/LocalFolder.h"
#include "components/uploader/ServerAddress.h"
#include "components/uploader/SourceFile.h"
#include "components/uploader/UploaderFailure.h"
#include "platform/FileServices.h"

namespace tolvane::components {
namespace {

using uploader::ServerAddress;
using uploader::SourceFile;
using uploader::Transport;
using uploader::UploaderFailure;

// A transfer slower than this, for the stall time, has stalled.
constexpr long kStallBytesPerSecond = 1;
// The longest libcurl waits between two looks at a transfer.
constexpr int kLongestWaitMs = 10;
// libcurl's own reply timeout, beyond the program's: the program's decides.
constexpr long kResponseTimeoutMargin = 30;
// Server replies quoted in a message are cut here.
constexpr std::size_t kReplyLimit = 200;
// The system's trusted authorities, one file per certificate (Debian's ca-certificates).
constexpr const char* kSystemCertificates = "/etc/ssl/certs";

// What every uploader of the process shares: libcurl's pool of connections, its name lookups
// and TLS sessions, and the servers known to refuse renames.
class CurlShared {
  public:
    static CurlShared& Get() {
        static std::once_flag initialized;
        std::call_once(initialized, [] {
            if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
                throw UploaderFailure(
                    "No se pudo iniciar la biblioteca de transferencias (libcurl)");
        });
        // Never destroyed: closing the pooled connections at exit would send QUIT to each
        // server and could hold the program's end on a silent one; the system closes them.
        static CurlShared* const shared = new CurlShared;
        return *shared;
    }

    CURLSH* share() const { return share_; }

    bool RenameRefused(const std::string& serverKey) {
        std::lock_guard lock(renameMutex_);
        return renameRefused_.count(serverKey) != 0;
    }
    void RememberRenameRefused(const std::string& serverKey) {
        std::lock_guard lock(renameMutex_);
        renameRefused_.insert(serverKey);
    }

  private:
    CurlShared() : share_(curl_share_init()) {
        if (share_ == nullptr)
            throw UploaderFailure("No se pudo iniciar la biblioteca de transferencias (libcurl)");
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &Lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &Unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }

    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        if (std::mutex* lock = static_cast<CurlShared*>(self)->LockFor(data))
            lock->lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* self) {
        if (std::mutex* lock = static_cast<CurlShared*>(self)->LockFor(data))
            lock->unlock();
    }
    std::mutex* LockFor(curl_lock_data data) {
        const auto index = static_cast<std::size_t>(data);
        return index < locks_.size() ? &locks_[index] : nullptr;
    }

    CURLSH* share_;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
    std::mutex renameMutex_;
    std::set<std::string> renameRefused_;
};

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using SteadyClock = std::chrono::steady_clock;

// How one transfer ended, and what watches it meanwhile: the last sign of life from the server
// (a reply, or data it took) and how long it may stay silent.
struct Outcome {
    CURLcode code = CURLE_OK;
    SteadyClock::time_point lastLife = SteadyClock::now();
    curl_off_t size = 0;
    curl_off_t sent = -1;
    std::chrono::milliseconds silence{};  // while a reply or data is awaited
    // Once the whole file is handed over, for the reply that ends it: the server may still be
    // reading what the links between hold, so the wait grows with the file.
    std::chrono::milliseconds lastReplyWait{};
    bool stopped = false;   // a stop request ended the transfer
    bool silent = false;    // the server stayed silent too long
    std::string lastReply;  // the server's last reply line (FTP)
    std::string detail;     // libcurl's own account
    int readError = 0;      // errno of a local read that failed
    // An SSH server's key that known_hosts does not vouch for, in the wire format.
    std::string hostKey;
    bool hostKeyChanged = false;  // known_hosts holds another key for the server
};

struct ReadState {
    const SourceFile* file;
    std::uint64_t offset;
    int error;
};

struct Login {
    std::string user, password;
    bool automatic;
    UploadTimeouts timeouts;
    std::string certificates;  // PEM file of authorities trusted besides the system's
    std::string knownHosts;    // trusted SSH host keys
};

// A quoted text ending with exactly one full stop.
std::string Sentence(std::string_view text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.remove_suffix(1);
    return std::string(text) + ".";
}

std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& state = *static_cast<ReadState*>(user);
    const std::int64_t got = state.file->ReadAt(state.offset, buffer, size * count);
    if (got < 0) {
        state.error = errno;
        return CURL_READFUNC_ABORT;
    }
    state.offset += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
}

// libcurl hands every FTP reply line to the header callback.
std::size_t OnReply(char* data, std::size_t size, std::size_t count, void* user) {
    const std::size_t length = size * count;
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    auto& outcome = *static_cast<Outcome*>(user);
    outcome.lastLife = SteadyClock::now();
    if (!line.empty())
        outcome.lastReply.assign(line.substr(0, kReplyLimit));
    return length;
}

// Called while the transfer runs, also (about every second) inside libcurl's own waits for a
// reply: a stop request or a silent server ends it there.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto& outcome = *static_cast<Outcome*>(user);
    if (StopRequested()) {
        outcome.stopped = true;
        return 1;
    }
    const auto now = SteadyClock::now();
    if (uploaded != outcome.sent) {
        outcome.sent = uploaded;
        outcome.lastLife = now;
    }
    const auto allowed = outcome.sent >= outcome.size ? outcome.lastReplyWait : outcome.silence;
    if (now - outcome.lastLife > allowed) {
        outcome.silent = true;
        return 1;
    }
    return 0;
}

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

// curl_easy_perform, with shorter waits: after a passive-mode reply this libcurl (7.88) may
// wait without watching the data connection it is about to open, and curl_easy_perform's
// waits last up to a second, which a backlog of small files would pay file after file.
CURLcode Run(CURL* easy, const Outcome& outcome) {
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    for (int running = 1; running != 0;) {
        // A stop request cuts the transfer short: the file goes again at the next start.
        if (StopRequested()) {
            curl_multi_remove_handle(multi.get(), easy);
            throw Interrupted();
        }
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK ||
            (running != 0 &&
             curl_multi_poll(multi.get(), nullptr, 0, kLongestWaitMs, nullptr) != CURLM_OK)) {
            break;
        }
    }
    CURLcode result = CURLE_FAILED_INIT;  // unless the transfer reports how it ended
    int pending = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi.get(), &pending)) {
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;
    }
    curl_multi_remove_handle(multi.get(), easy);
    if (result == CURLE_ABORTED_BY_CALLBACK && outcome.stopped)
        throw Interrupted();
    if (result == CURLE_ABORTED_BY_CALLBACK && outcome.silent)
        return CURLE_OPERATION_TIMEDOUT;
    return result;
}

// Only a host whose key is already in known_hosts is trusted; another key is kept for the
// message, which tells the clerk how to trust it.
int OnHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* data) {
    if (match == CURLKHMATCH_OK)
        return CURLKHSTAT_FINE;
    auto& outcome = *static_cast<Outcome*>(data);
    outcome.hostKeyChanged = match == CURLKHMATCH_MISMATCH;
    if (found != nullptr && found->key != nullptr) {
        outcome.hostKey = found->len > 0 ? std::string(found->key, found->len)
                                         : uploader::Base64Decode(found->key);
    }
    return CURLKHSTAT_REJECT;
}

// The failures common enough to be told in Spanish whole: the library's own English words add
// nothing to what Explain says of them.
bool SaidInSpanish(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_LOGIN_DENIED:
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_UPLOAD_FAILED:
        case CURLE_REMOTE_DISK_FULL:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
            return true;
        default:
            return false;
    }
}

std::string Explain(const Outcome& outcome, const Login& login, const ServerAddress& address) {
    if (!outcome.hostKey.empty()) {
        const std::string fingerprint = uploader::Sha256Fingerprint(outcome.hostKey);
        if (outcome.hostKeyChanged) {
            return "la clave del servidor SSH (huella " + fingerprint + ") no es la que guarda " +
                   login.knownHosts +
                   ": puede ser otro equipo; confírmelo con quien administra el servidor antes "
                   "de cambiar ese archivo";
        }
        return "el servidor SSH no es conocido: su clave (huella " + fingerprint + ") no está en " +
               login.knownHosts +
               ". Si es el servidor de la oficina, agregue a ese archivo la línea: " +
               uploader::KnownHostsLine(address.host, address.port, outcome.hostKey);
    }
    switch (outcome.code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "esta instalación no admite el protocolo del servidor";
        case CURLE_COULDNT_RESOLVE_HOST:
            return "no se encontró el servidor (nombre desconocido)";
        case CURLE_COULDNT_CONNECT:
            return "no se pudo conectar con el servidor";
        case CURLE_OPERATION_TIMEDOUT:
            return "el servidor dejó de responder o la transferencia se detuvo (tiempo agotado)";
        case CURLE_LOGIN_DENIED:
            return "el servidor rechazó el usuario \"" + login.user + "\" o su contraseña";
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_REMOTE_FILE_NOT_FOUND:
            return login.automatic ? "el servidor no permitió entrar en la carpeta ni crearla"
                                   : "la carpeta no existe en el servidor o no se permite entrar";
        case CURLE_UPLOAD_FAILED:
            return "el servidor no aceptó el archivo en la carpeta (¿falta permiso de escritura?)";
        case CURLE_REMOTE_DISK_FULL:
            return "el servidor no tiene espacio libre";
        case CURLE_QUOTE_ERROR:
            return "el servidor no permitió dar al archivo su nombre definitivo";
        case CURLE_USE_SSL_FAILED:
            return "el servidor no admite conexiones cifradas (TLS)";
        case CURLE_SSL_CONNECT_ERROR:
            return "falló la conexión cifrada (TLS) con el servidor";
        case CURLE_PEER_FAILED_VERIFICATION:
            return "el certificado del servidor no está firmado por una autoridad de confianza "
                   "(si la oficina firma sus propios certificados, indique el archivo PEM de su "
                   "autoridad en CERTIFICADOS del archivo Config.ini)";
        case CURLE_SSL_CACERT_BADFILE:
            return "no se pudo leer el archivo de certificados \"" + login.certificates +
                   "\" (CERTIFICADOS del archivo Config.ini)";
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
            return "se cortó la comunicación con el servidor";
        case CURLE_FTP_ACCEPT_FAILED:
        case CURLE_FTP_ACCEPT_TIMEOUT:
        case CURLE_FTP_PORT_FAILED:
            return "el servidor no pudo abrir la conexión de datos en modo activo";
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
        case CURLE_FTP_CANT_GET_HOST:
            return "no se pudo abrir la conexión de datos en modo pasivo";
        case CURLE_WEIRD_SERVER_REPLY:
            return "el servidor respondió de forma inesperada";
        case CURLE_ABORTED_BY_CALLBACK:
            if (outcome.readError != 0)
                return "no se pudo leer el archivo local: " + SystemErrorText(outcome.readError);
            return "la transferencia se interrumpió";
        default:
            return "falló la transferencia";
    }
}

// The files of one SubirArchivo call, sent one by one to one folder of one server.
class NetworkUpload {
  public:
    NetworkUpload(const ServerAddress& address, std::vector<std::string> folder, Login login)
        : address_(address), folder_(std::move(folder)), login_(std::move(login)) {}

    void Send(const SourceFile& file) const {
        CurlShared& shared = CurlShared::Get();
        const std::string serverKey = address_.ServerKey();
        if (shared.RenameRefused(serverKey)) {
            const Outcome direct = Perform(file, file.name(), {});
            if (direct.code != CURLE_OK)
                Fail(file, direct, "");
            return;
        }
        const std::string temporary = uploader::TemporaryName(file.name());
        const Outcome renamed = Perform(file, temporary, RenameCommands(temporary, file.name()));
        if (renamed.code == CURLE_OK)
            return;
        if (renamed.code != CURLE_QUOTE_ERROR)
            Fail(file, renamed, "");
        // The file went up whole but the server would not rename it.
        shared.RememberRenameRefused(serverKey);
        const Outcome direct = Perform(file, file.name(), DiscardCommands(temporary));
        if (direct.code != CURLE_OK) {
            Fail(file, direct,
                 "el servidor no permitió renombrar el archivo temporal " + temporary +
                     " y al subirlo con su nombre definitivo ");
        }
    }

  private:
    bool IsSftp() const { return address_.transport == Transport::Sftp; }

    std::string FolderDisplay() const {
        std::string shown = IsSftp() && !address_.absolute ? "~" : "";
        for (const auto& segment : folder_)
            shown += "/" + segment;
        return shown.empty() ? "/" : shown;
    }

    std::string Url(const std::string& name) const {
        std::string url;
        switch (address_.transport) {
            case Transport::FtpImplicitTls:
                url = "ftps://";
                break;
            case Transport::Sftp:
                url = "sftp://";
                break;
            default:
                url = "ftp://";
                break;
        }
        url += address_.host + ":" + std::to_string(address_.port) + "/";
        if (IsSftp())
            url += address_.absolute ? "" : "~/";
        else if (address_.absolute)
            url += "%2F";  // the first folder is the server's root, not the login folder
        for (const auto& segment : folder_)
            url += uploader::EncodeSegment(segment) + "/";
        return url + uploader::EncodeSegment(name);
    }

    // A path for an SFTP command, quoted; a relative one is taken from the home folder.
    std::string SftpPath(const std::string& name) const {
        std::string path = address_.absolute ? "/" : "";
        for (const auto& segment : folder_)
            path += segment + "/";
        path += name;
        std::string quoted = "\"";
        for (char c : path) {
            if (c == '"' || c == '\\' || c == '\'')
                quoted.push_back('\\');
            quoted.push_back(c);
        }
        return quoted + "\"";
    }

    // Run after the transfer, in the file's folder.
    std::vector<std::string> RenameCommands(const std::string& temporary,
                                            const std::string& name) const {
        if (IsSftp()) {
            // SFTP servers of protocol version 3 do not rename over an existing file.
            return {"*rm " + SftpPath(name),
                    "rename " + SftpPath(temporary) + " " + SftpPath(name)};
        }
        return {"RNFR " + temporary, "RNTO " + name};
    }

    std::vector<std::string> DiscardCommands(const std::string& temporary) const {
        return {IsSftp() ? "*rm " + SftpPath(temporary) : "*DELE " + temporary};
    }

    Outcome Perform(const SourceFile& file, const std::string& remoteName,
                    const std::vector<std::string>& postCommands) const {
        std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
        if (!easy)
            throw UploaderFailure("No se pudo iniciar la biblioteca de transferencias (libcurl)");
        CURL* const handle = easy.get();
        std::unique_ptr<curl_slist, ListDeleter> commands;
        for (const auto& command : postCommands) {
            curl_slist* const appended = curl_slist_append(commands.get(), command.c_str());
            if (appended == nullptr)
                throw std::bad_alloc();
            // `appended` is the same list, one longer.
            static_cast<void>(commands.release());
            commands.reset(appended);
        }

        Outcome outcome;
        ReadState read{&file, 0, 0};
        std::array<char, CURL_ERROR_SIZE> errorText{};
        const std::string url = Url(remoteName);
        const UploadTimeouts& limits = login_.timeouts;

        curl_easy_setopt(handle, CURLOPT_SHARE, CurlShared::Get().share());
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "ftp,ftps,sftp");
        curl_easy_setopt(handle, CURLOPT_PATH_AS_IS, 1L);
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText.data());
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnReply);
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, &outcome);
        curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, &OnRead);
        curl_easy_setopt(handle, CURLOPT_READDATA, &read);
        curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(file.size()));
        // Binary whatever `automatico` says: ASCII mode would rewrite the files' line ends.
        curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, 0L);
        if (!login_.user.empty()) {
            curl_easy_setopt(handle, CURLOPT_USERNAME, login_.user.c_str());
            curl_easy_setopt(handle, CURLOPT_PASSWORD, login_.password.c_str());
        }
        curl_easy_setopt(handle, CURLOPT_FTP_CREATE_MISSING_DIRS,
                         static_cast<long>(login_.automatic ? CURLFTP_CREATE_DIR_RETRY
                                                            : CURLFTP_CREATE_DIR_NONE));
        if (!login_.automatic)
            curl_easy_setopt(handle, CURLOPT_FTPPORT, "-");  // active, on the control address
        if (address_.transport == Transport::FtpExplicitTls ||
            address_.transport == Transport::FtpImplicitTls) {
            curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
            if (!login_.certificates.empty()) {
                // The office's authorities, and the system's as well.
                curl_easy_setopt(handle, CURLOPT_CAINFO, login_.certificates.c_str());
                curl_easy_setopt(handle, CURLOPT_CAPATH, kSystemCertificates);
            }
        }
        if (IsSftp()) {
            curl_easy_setopt(handle, CURLOPT_SSH_KNOWNHOSTS, login_.knownHosts.c_str());
            curl_easy_setopt(handle, CURLOPT_SSH_KEYFUNCTION, &OnHostKey);
            curl_easy_setopt(handle, CURLOPT_SSH_KEYDATA, &outcome);
        }
        if (commands)
            curl_easy_setopt(handle, CURLOPT_POSTQUOTE, commands.get());

        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(limits.connect.count()));
        curl_easy_setopt(handle, CURLOPT_ACCEPTTIMEOUT_MS,
                         static_cast<long>(limits.connect.count()));
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stall.count()));
        // No bound on the whole transfer: one that keeps moving is never cut. The server's
        // silences are bounded by OnProgress, which libcurl's own reply timeout must outlast.
        outcome.size = static_cast<curl_off_t>(file.size());
        outcome.silence = limits.serverResponse;
        outcome.lastReplyWait =
            limits.serverResponse +
            std::chrono::milliseconds(file.size() * 1000 / UploadTimeouts::kSlowestLink);
        curl_easy_setopt(
            handle, CURLOPT_SERVER_RESPONSE_TIMEOUT,
            static_cast<long>(
                std::chrono::duration_cast<std::chrono::seconds>(outcome.lastReplyWait).count()) +
                kResponseTimeoutMargin);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &outcome);

        outcome.code = Run(handle, outcome);
        outcome.readError = read.error;
        if (outcome.silent) {
            outcome.detail = "el servidor no dio señales de vida en " +
                             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                                outcome.sent >= outcome.size ? outcome.lastReplyWait
                                                                             : outcome.silence)
                                                .count()) +
                             " s";
        } else if (SaidInSpanish(outcome.code)) {
            // The explanation says it all; the library's code, for whoever looks further.
            outcome.detail = "código " + std::to_string(outcome.code) + " de libcurl";
        } else {
            outcome.detail =
                (errorText[0] != '\0' ? std::string(errorText.data())
                                      : std::string(curl_easy_strerror(outcome.code))) +
                " (código " + std::to_string(outcome.code) + " de libcurl)";
        }
        return outcome;
    }

    [[noreturn]] void Fail(const SourceFile& file, const Outcome& outcome,
                           const std::string& context) const {
        std::string description = "No se pudo subir el archivo " + file.name() + " a la carpeta " +
                                  FolderDisplay() + " del servidor " + address_.Display() + ": " +
                                  context + Explain(outcome, login_, address_) + ".";
        if (!outcome.lastReply.empty())
            description += " Última respuesta del servidor: " + Sentence(outcome.lastReply);
        if (!outcome.detail.empty())
            description += " Detalle: " + Sentence(outcome.detail);
        // The password never travels in a URL, but a server could echo it; shorter ones would
        // only mangle ordinary words.
        if (login_.password.size() >= 4)
            description = text::ReplaceAll(description, login_.password, "********");
        throw UploaderFailure(description);
    }

    const ServerAddress& address_;
    std::vector<std::string> folder_;
    Login login_;
};

}  // namespace

bool CurlUploader::SubirArchivo(const std::string& joinedPaths) {
    const ServerAddress address = uploader::ParseServer(server_);
    const auto files = SourceFile::OpenAll(joinedPaths);
    if (!files)
        return false;

    std::vector<std::string> folder = address.folder;
    for (auto& segment : uploader::SplitFolder(folder_)) {
        // A local target must keep the files under its own folder.
        if (address.transport == Transport::LocalFolder && segment == "..") {
            throw UploaderFailure("La carpeta remota \"" + folder_ + "\" sale con \"..\" de la " +
                                  "carpeta del servidor " + address.Display() +
                                  ": corrija DIRECTORIO en el archivo Config.ini");
        }
        folder.push_back(std::move(segment));
    }

    if (address.transport == Transport::LocalFolder) {
        uploader::UploadToLocalFolder(uploader::LocalFolderPath(address.folder),
                                      uploader::LocalFolderPath(folder), automatic_, *files);
        return true;
    }
    if (!certificates_.empty() && !platform::IsRegularFile(certificates_)) {
        throw UploaderFailure("No existe el archivo de certificados \"" + certificates_ +
                              "\" (CERTIFICADOS del archivo Config.ini)");
    }
    const NetworkUpload upload(
        address, std::move(folder),
        Login{user_, password_, automatic_, timeouts_, certificates_, knownHosts_});
    if (files->size() == 1) {
        upload.Send(files->front());
        return true;
    }
    // The files go up side by side, each over its own pooled connection: a dispatch waits for
    // the slower of its two files rather than for both in a row.
    std::vector<std::future<void>> sending;
    sending.reserve(files->size());
    for (const auto& file : *files)
        sending.push_back(std::async(std::launch::async, [&upload, &file] { upload.Send(file); }));
    // Every transfer ends before the call does; the first failure is the one reported.
    std::exception_ptr failure;
    for (auto& transfer : sending) {
        try {
            transfer.get();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
    return true;
}

}  // namespace tolvane::components
