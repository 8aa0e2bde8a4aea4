#include "support/SecureServers.h"

#include <unistd.h>

#include <sstream>

namespace tolvane::test {

std::string SecureServer::Unavailable() {
    if (::geteuid() != 0)
        return "the encrypted servers need root (a system user, daemons)";
    for (const char* program :
         {"/usr/sbin/vsftpd", "/usr/sbin/sshd", "/usr/bin/openssl", "/usr/bin/ssh-keygen"}) {
        if (!std::filesystem::exists(program))
            return std::string(program) + " is not installed (vsftpd, openssh-server, openssl)";
    }
    return {};
}

SecureServer::SecureServer(Kind kind) : kind_(kind), d_(dir_.path()), root_(dir_.Sub("root")) {
    // The tests' user, made once per machine; vsftpd must be able to enter its home.
    RunProcess({"/usr/sbin/useradd", "--no-create-home", "--shell", "/bin/bash", kUser}, {});
    RunChecked({"/usr/sbin/usermod", "--home", "/", kUser});
    RunChecked({"/bin/sh", "-c", "echo '" + std::string(kUser) + ":" + kPassword + "' | chpasswd"});
    std::filesystem::create_directories(root_);
    RunChecked({"/bin/chown", kUser, root_.string()});
    if (kind == Kind::Sftp) {
        RunChecked({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", d_ + "/hostkey"});
        std::filesystem::create_directories("/run/sshd");  // its privilege separation folder
    } else {
        // The office's authority, and the server's certificate signed by it.
        const auto certificate = [&](const std::string& name, std::vector<std::string> details) {
            const std::string file = d_ + "/" + name;
            details.insert(details.begin(),
                           {"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                            "-days", "2", "-keyout", file + ".key", "-out", file + ".pem"});
            RunChecked(details);
        };
        certificate("ca", {"-subj", "/CN=Autoridad de la oficina"});
        certificate("server", {"-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                               "-CA", d_ + "/ca.pem", "-CAkey", d_ + "/ca.key"});
        std::filesystem::create_directories("/var/run/vsftpd/empty");
        WriteFile(d_ + "/vsftpd.conf", "");  // named, so that the system's settings are not read
    }
    Start();
}

// Every setting on the command line, which both daemons take with "-o".
std::vector<std::string> SecureServer::Command() const {
    const std::string port = std::to_string(this->port());
    std::vector<std::string> command;
    std::string settings;
    if (kind_ == Kind::Sftp) {
        command = {"/usr/sbin/sshd", "-D", "-e", "-f", "/dev/null", "-p", port};
        settings = "ListenAddress=127.0.0.1\nHostKey=" + d_ + "/hostkey\nPidFile=" + d_ +
                   "/sshd.pid\nPasswordAuthentication=yes\nKbdInteractiveAuthentication=no\n"
                   "UsePAM=no\nStrictModes=no\nAllowUsers=" +
                   kUser + "\nSubsystem=sftp internal-sftp";
    } else {
        command = {"/usr/sbin/vsftpd", d_ + "/vsftpd.conf"};
        settings = "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" + port +
                   "\nbackground=NO\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
                   "local_umask=022\nlocal_root=" +
                   root_.string() +
                   "\npam_service_name=vsftpd\nseccomp_sandbox=NO\n"
                   "secure_chroot_dir=/var/run/vsftpd/empty\nssl_enable=YES\nrsa_cert_file=" +
                   d_ + "/server.pem\nrsa_private_key_file=" + d_ +
                   "/server.key\nforce_local_logins_ssl=YES\nforce_local_data_ssl=YES\n"
                   "require_ssl_reuse=NO\nimplicit_ssl=" +
                   (kind_ == Kind::ImplicitTls ? "YES" : "NO") + "\nvsftpd_log_file=" + d_ +
                   "/vsftpd.log";
    }
    std::istringstream lines(settings);
    for (std::string line; std::getline(lines, line);)
        command.push_back("-o" + line);
    return command;
}

std::string SecureServer::Url() const {
    switch (kind_) {
        case Kind::ExplicitTls:
            return "ftpes://" + Address();
        case Kind::ImplicitTls:
            return "ftps://" + Address();
        case Kind::Sftp:
            break;
    }
    return "sftp://" + Address() + root_.string();
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
