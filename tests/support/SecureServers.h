#pragma once

#include <filesystem>
#include <string>

#include "support/Network.h"

namespace tolvane::test {

// Real servers for encrypted uploads, on loopback and a free port, serving a fresh folder to a
// system user made for the tests: vsftpd over explicit or implicit TLS with a certificate
// signed by an authority of its own, and OpenSSH's sshd for SFTP with a host key of its own.
// They need root (the user, the daemons); Unavailable() says why they cannot run here.
class SecureServer final : public LoopbackServer {
  public:
    enum class Kind { ExplicitTls, ImplicitTls, Sftp };

    static constexpr const char* kUser = "tolvanetest";
    static constexpr const char* kPassword = "Cl4ve-Segura-Q7";

    // Empty when the servers can run here, otherwise why not (for GTEST_SKIP).
    static std::string Unavailable();

    explicit SecureServer(Kind kind);

    // "ftpes://127.0.0.1:<port>", "ftps://…" or "sftp://…" followed by the served folder for SFTP.
    std::string Url() const;
    // The folder the user's uploads land in.
    const fs::path& root() const { return root_; }
    // The authority that signed the TLS certificate (PEM).
    fs::path Authority() const { return dir_.path() / "ca.pem"; }
    // The SSH host key as known_hosts lists it: "[127.0.0.1]:<port> <type> <base64>".
    std::string KnownHostsLine() const;
    // Its fingerprint as ssh-keygen shows it: "SHA256:…".
    std::string Fingerprint() const;

  private:
    std::vector<std::string> Command() const override;

    const Kind kind_;
    const std::string d_;  // the server's own folder
    const fs::path root_;
};

}  // namespace tolvane::test
