#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

#include "components/Contracts.h"

namespace tolvane::components {

// Bounds that keep a dead or silent server from holding the program. None bounds a transfer
// that keeps moving, however slowly.
struct UploadTimeouts {
    static constexpr std::chrono::milliseconds kConnect{10'000};
    static constexpr std::chrono::seconds kServerResponse{30};
    // A transfer moving less than one byte per second for this long has stalled.
    static constexpr std::chrono::seconds kStall{30};
    // The slowest link waited for, in bytes per second: once a file is handed over whole, the
    // reply that ends it may take this long per byte beyond the server's usual silence, while
    // the server reads what the connection still holds.
    static constexpr std::uint64_t kSlowestLink = 1024;

    std::chrono::milliseconds connect = kConnect;
    // The longest silence of the server while a reply or data is awaited.
    std::chrono::seconds serverResponse = kServerResponse;
    std::chrono::seconds stall = kStall;
};

// "Sorvik.Uploader" over libcurl; the forms of SERVIDOR are those of uploader::ParseServer.
//
// SubirArchivo splits its text at "|" and sends every file, under its own name, into the
// folder `directorio` below the server's folder. Once SERVIDOR has been checked, it answers
// false, without contacting the server, when a part of the text is empty or names no existing
// regular file (all files are checked before any is sent); true once every file is
// complete on the server. Every other problem (settings, local read, connection, login,
// folder, transfer) fails with number uploader::kFailureNumber and source "Sorvik.Uploader",
// naming the server, the folder, the file and the server's last reply; never the password.
// Files sent before a failure stay on the server; the next attempt replaces them.
//
// Each file travels under the temporary name "." + name + ".part" and takes its name once
// complete, so readers of the server never see half a file. A server that refuses the rename
// gets the file under its final name instead (the temporary one deleted), and is sent files
// that way for the rest of the process.
//
// `automatico` true (the default): passive mode, missing folders created. False: active mode,
// folders must exist. Transfers are always binary: ASCII mode would rewrite the line ends of
// the files. An empty USUARIO logs in anonymously. TLS certificates must be signed by an
// authority the system trusts or one of the file set with setCertificados; SFTP host keys
// must be listed in the known_hosts file given (an unknown one is refused, the message giving its
// fingerprint and the line that would trust it).
//
// Connections, name lookups and TLS sessions are shared by every uploader of the process,
// so a series of uploads to one server logs in once.
class CurlUploader final : public Uploader {
  public:
    // `knownHosts`: the file of trusted SSH host keys; with none, no SFTP server is trusted.
    explicit CurlUploader(UploadTimeouts timeouts = {}, std::string knownHosts = "/dev/null")
        : timeouts_(timeouts), knownHosts_(std::move(knownHosts)) {}

    void setSERVIDOR(const std::string& server) override { server_ = server; }
    void setUSUARIO(const std::string& user) override { user_ = user; }
    void setPassword(const std::string& password) override { password_ = password; }
    void setdirectorio(const std::string& folder) override { folder_ = folder; }
    void setautomatico(bool automatic) override { automatic_ = automatic; }
    void setCertificados(const std::string& pemFile) override { certificates_ = pemFile; }
    bool SubirArchivo(const std::string& joinedPaths) override;

  private:
    UploadTimeouts timeouts_;
    std::string knownHosts_;
    std::string server_, user_, password_, folder_, certificates_;
    bool automatic_ = true;
};

}  // namespace tolvane::components
