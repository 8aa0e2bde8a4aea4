#include "support/SecureServers.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "support/Network.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

void Run(const std::vector<std::string>& command, const std::string& what) {
    const ProcessResult result = RunProcess(command, {}, 30000);
    if (result.exitStatus != 0)
        throw std::runtime_error(what + " failed: " + result.err);
}

// The tests' user, with a password of its own; made once per machine.
void EnsureUser() {
    // vsftpd must be able to enter the user's home before its own folder: "/" is always there.
    const ProcessResult made = RunProcess({"/usr/sbin/useradd", "--no-create-home", "--home-dir",
                                           "/", "--shell", "/bin/bash", SecureServer::kUser},
                                          {}, 30000);
    // 9: it exists already (an earlier run, or a test beside this one).
    if (made.exitStatus == 9)
        RunProcess({"/usr/sbin/usermod", "--home", "/", SecureServer::kUser}, {}, 30000);
    else if (made.exitStatus != 0)
        throw std::runtime_error("useradd failed: " + made.err);
    const fs::path input =
        fs::temp_directory_path() / ("tolvane-chpasswd-" + std::to_string(::getpid()));
    WriteFile(input, std::string(SecureServer::kUser) + ":" + SecureServer::kPassword + "\n");
    const ProcessResult set =
        RunProcess({"/bin/sh", "-c", "/usr/sbin/chpasswd < " + input.string()}, {}, 30000);
    fs::remove(input);
    if (set.exitStatus != 0)
        throw std::runtime_error("chpasswd failed: " + set.err);
}

}  // namespace

std::string SecureServer::Unavailable() {
    if (::geteuid() != 0)
        return "the encrypted servers need root (a system user, daemons)";
    for (const char* program :
         {"/usr/sbin/vsftpd", "/usr/sbin/sshd", "/usr/bin/openssl", "/usr/bin/ssh-keygen"}) {
        if (!fs::exists(program))
            return std::string(program) + " is not installed (vsftpd, openssh-server, openssl)";
    }
    return {};
}

SecureServer::SecureServer(Kind kind) : kind_(kind), root_(dir_.Sub("root")) {
    EnsureUser();
    fs::create_directories(root_);
    Run({"/bin/chown", kUser, root_.string()}, "chown");
    port_ = FreePort();
    const fs::path dir = dir_.path();
    const std::string d = dir.string();
    std::vector<std::string> command;
    if (kind == Kind::Sftp) {
        Run({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", d + "/hostkey"},
            "ssh-keygen");
        fs::create_directories("/run/sshd");  // sshd's privilege separation folder
        std::ofstream(dir / "sshd_config")
            << "Port " << port_ << "\nListenAddress 127.0.0.1\nHostKey " << d << "/hostkey\n"
            << "PidFile " << d << "/sshd.pid\nPasswordAuthentication yes\n"
            << "KbdInteractiveAuthentication no\nUsePAM no\nStrictModes no\n"
            << "AllowUsers " << kUser << "\nSubsystem sftp internal-sftp\n";
        command = {"/usr/sbin/sshd", "-D", "-e", "-f", d + "/sshd_config"};
    } else {
        const auto openssl = [&](std::vector<std::string> args) {
            args.insert(args.begin(), "/usr/bin/openssl");
            Run(args, "openssl");
        };
        openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/ca.key", "-out",
                 d + "/ca.pem", "-days", "2", "-subj", "/CN=Autoridad de la oficina"});
        openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/server.key", "-out",
                 d + "/server.csr", "-subj", "/CN=127.0.0.1"});
        WriteFile(dir / "san.cnf", "subjectAltName=IP:127.0.0.1\n");
        openssl({"x509", "-req", "-in", d + "/server.csr", "-CA", d + "/ca.pem", "-CAkey",
                 d + "/ca.key", "-CAcreateserial", "-out", d + "/server.pem", "-days", "2",
                 "-extfile", d + "/san.cnf"});
        std::ofstream(dir / "vsftpd.conf")
            << "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" << port_
            << "\nbackground=NO\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
            << "local_umask=022\nlocal_root=" << root_.string()
            << "\npam_service_name=vsftpd\nseccomp_sandbox=NO\n"
            << "secure_chroot_dir=/var/run/vsftpd/empty\nssl_enable=YES\n"
            << "rsa_cert_file=" << d << "/server.pem\nrsa_private_key_file=" << d
            << "/server.key\nforce_local_logins_ssl=YES\nforce_local_data_ssl=YES\n"
            << "require_ssl_reuse=NO\nimplicit_ssl=" << (kind == Kind::ImplicitTls ? "YES" : "NO")
            << "\nvsftpd_log_file=" << d << "/vsftpd.log\n";
        fs::create_directories("/var/run/vsftpd/empty");
        command = {"/usr/sbin/vsftpd", d + "/vsftpd.conf"};
    }
    process_ = std::make_unique<ChildProcess>(command, std::map<std::string, std::string>{});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!Accepts(port_)) {
        if (std::chrono::steady_clock::now() > deadline) {
            const ProcessResult result = process_->Wait(1000);
            process_.reset();
            throw std::runtime_error("the server did not start: " + result.err);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

SecureServer::~SecureServer() {
    if (process_) {
        process_->Signal(SIGTERM);
        process_->Wait(5000);
    }
}

std::string SecureServer::Url() const {
    const std::string address = "127.0.0.1:" + std::to_string(port_);
    switch (kind_) {
        case Kind::ExplicitTls:
            return "ftpes://" + address;
        case Kind::ImplicitTls:
            return "ftps://" + address;
        case Kind::Sftp:
            return "sftp://" + address + root_.string();
    }
    return {};
}

std::string SecureServer::KnownHostsLine() const {
    std::string key = ReadFile(dir_.path() / "hostkey.pub");
    key = key.substr(0, key.find(' ', key.find(' ') + 1));  // type and key, no comment
    return "[127.0.0.1]:" + std::to_string(port_) + " " + key;
}

std::string SecureServer::Fingerprint() const {
    const ProcessResult shown = RunProcess(
        {"/usr/bin/ssh-keygen", "-l", "-f", (dir_.path() / "hostkey.pub").string()}, {}, 30000);
    const std::size_t start = shown.out.find("SHA256:");
    return start == std::string::npos ? std::string()
                                      : shown.out.substr(start, shown.out.find(' ', start) - start);
}

}  // namespace tolvane::test
