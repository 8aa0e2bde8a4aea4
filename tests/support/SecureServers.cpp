#include "support/SecureServers.h"

#include <unistd.h>

namespace tolvane::test {

std::string SecureServer::Unavailable() {
    if (::geteuid() != 0)
        return "the encrypted servers need root (a system user, daemons)";
    for (const char* program :
         {"/usr/sbin/vsftpd", "/usr/sbin/sshd", "/usr/bin/openssl", "/usr/bin/ssh-keygen"})
        if (!fs::exists(program))
            return std::string(program) + " is not installed (vsftpd, openssh-server, openssl)";
    return {};
}

namespace {

const std::string kScript = TOLVANE_SOURCE_DIR "/tests/support/secure_server.sh";
const char* const kSchemes[] = {"ftpes", "ftps", "sftp"};  // by Kind

}  // namespace

SecureServer::SecureServer(Kind kind) : kind_(kind), d_(dir_.path()), root_(dir_.path() / "root") {
    RunChecked({"/bin/bash", kScript, "prepare", d_});
    Start();
}

std::vector<std::string> SecureServer::Command() const {
    return {"/bin/bash",           kScript, "run", d_, kSchemes[static_cast<int>(kind_)],
            std::to_string(port())};
}

std::string SecureServer::Url() const {
    return kSchemes[static_cast<int>(kind_)] + ("://" + Address()) +
           (kind_ == Kind::Sftp ? root_.string() : "");
}

std::string SecureServer::KnownHostsLine() const {
    std::string key = ReadFile(d_ + "/hostkey.pub");
    key = key.substr(0, key.find(' ', key.find(' ') + 1));  // type and key, no comment
    return "[127.0.0.1]:" + std::to_string(port()) + " " + key;
}

std::string SecureServer::Fingerprint() const {
    const std::string shown = RunChecked({"/usr/bin/ssh-keygen", "-l", "-f", d_ + "/hostkey.pub"});
    const std::size_t start = shown.find("SHA256:");
    return start == std::string::npos ? std::string()
                                      : shown.substr(start, shown.find(' ', start) - start);
}

}  // namespace tolvane::test
