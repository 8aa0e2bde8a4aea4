#include "components/uploader/CurlUploader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <tuple>

#include "common/Stop.h"
#include "components/uploader/ServerAddress.h"
#include "components/uploader/UploaderFailure.h"
#include "support/Expect.h"
#include "support/FtpServer.h"
#include "support/Network.h"
#include "support/SecureServers.h"

namespace tolvane::components {
namespace {

using namespace std::chrono_literals;
using test::FtpServer;
using test::SecureServer;

// A dispatch's pair of files in a local folder, of bytes that any text-mode handling would
// alter: line ends of every kind, NUL, high bytes.
struct Pair {
    Pair(const test::TempDir& dir, const std::string& id, std::size_t size = 20 * 1024)
        : cover(dir.path() / ("C" + id + ".xml")), items(dir.path() / ("I" + id + ".xml")) {
        std::string bytes = "<?xml?>\r\n\n\r";
        while (bytes.size() < size)
            bytes.push_back(static_cast<char>(bytes.size() * 131 % 256));
        test::WriteFile(cover, bytes + "\r\n");
        test::WriteFile(items, bytes.substr(0, size / 2));
    }
    std::string Joined() const { return cover.string() + "|" + items.string(); }
    // Both files, byte for byte, and no temporary file beside them.
    void ExpectIn(const fs::path& folder) const {
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        EXPECT_EQ(test::ReadFile(folder / cover.filename()), test::ReadFile(cover));
        EXPECT_EQ(test::ReadFile(folder / items.filename()), test::ReadFile(items));
    }
    fs::path cover, items;
};

// `action` must fail promptly as the uploader, naming every one of `named` and never `secret`
// (by default the start that both servers' passwords share).
void ExpectUploadFailure(const std::function<void()>& action, const std::vector<std::string>& named,
                         const std::string& secret = "Cl4ve-Se",
                         std::source_location at = std::source_location::current()) {
    const ::testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "");
    const Failure failure =
        test::FailureFrom{"Sorvik.Uploader"}(action, uploader::kFailureNumber, named, 5s, at);
    EXPECT_EQ(failure.description().find(secret), std::string::npos) << failure.description();
}

bool Upload(const std::string& joinedPaths, const std::string& server, const std::string& folder,
            bool automatic = true, const std::string& password = FtpServer::kPassword) {
    CurlUploader uploader(UploadTimeouts{2s, 1s, 2s});
    uploader.setSERVIDOR(server);
    uploader.setUSUARIO(FtpServer::kUser);
    uploader.setPassword(password);
    uploader.setdirectorio(folder);
    uploader.setautomatico(automatic);
    return uploader.SubirArchivo(joinedPaths);
}

class FtpUploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if ((server = FtpServer::Shared()) == nullptr)
            GTEST_SKIP() << FtpServer::Unavailable();
    }

    FtpServer* server = nullptr;
    test::TempDir local;
};

TEST_F(FtpUploadTest, CompleteRequestsArriveWholeInTheirFolderOverKeptLogins) {
    // Requests with an empty part or a part that is no file answer false and contact nobody.
    const Pair pair(local, "M");
    const int loginsBefore = server->CountInLog("logged in.");
    for (const std::string& text :
         {std::string(), pair.cover.string() + "|",
          pair.cover.string() + "|" + (local.path() / "Cnada.xml").string(),
          local.path().string() + "|" + pair.items.string()})
        EXPECT_FALSE(Upload(text, server->Url(), "faltantes")) << text;
    EXPECT_EQ(server->CountInLog("logged in."), loginsBefore);

    // Folder setting, folder on the server, dispatch, size, passive mode creating folders.
    const std::tuple<std::string, std::string, std::string, std::size_t, bool> cases[] = {
        {"despachos/2024/marzo", "despachos/2024/marzo", "D1", 20000, true},
        {"\\aduana\\salida\\", "aduana/salida", "D2", 20000, true},
        {"/despachos/2024/marzo/", "despachos/2024/marzo", "D1", 7000, true},  // replaces the first
        {"", ".", "D3", 1, true},
        {"aduana/salida", "aduana/salida", "A", 20000, false},  // active mode: an existing folder
    };
    for (const auto& [setting, folder, id, size, automatic] : cases) {
        SCOPED_TRACE(setting);
        const Pair sent(local, id, size);
        EXPECT_TRUE(Upload(sent.Joined(), server->Url(), setting, automatic));
        sent.ExpectIn(server->root() / folder);
    }
    EXPECT_TRUE(Upload(pair.cover.string(), server->Url(), "uno"));  // a single file is complete
    EXPECT_EQ(test::ReadFile(server->root() / "uno/CM.xml"), test::ReadFile(pair.cover));
    // One login per file sent side by side, then the connections are kept for every request.
    EXPECT_LE(server->CountInLog("logged in.") - loginsBefore, 2) << server->Log();
}

TEST_F(FtpUploadTest, FailuresArePromptAndSayWhatAndWhereWithTheReplyButNoPassword) {
    const test::SilentServer silent;
    const Pair pair(local, "F");
    const std::string wrong = "Mala-Clave-5521", right = FtpServer::kPassword, url = server->Url();
    const std::string tls = "ftpes://127.0.0.1:" + std::to_string(server->port());
    const std::string silentAt = "127.0.0.1:" + std::to_string(silent.port());
    const std::tuple<std::string, std::string, std::string, bool, std::vector<std::string>>
        cases[] = {
            {url, "x", wrong, true, {"530", url, "/x", "Detalle: código 67 de libcurl."}},
            {url, "solo-lectura", right, true, {"550", "/solo-lectura", "CF.xml"}},
            {url, "solo-lectura/nueva", right, true, {"/solo-lectura/nueva"}},
            {url, "no-existe", right, false, {"/no-existe", url}},  // active mode creates none
            {tls, "x", right, true, {"TLS", tls}},  // and never a plain login instead
            {silentAt, "t", right, true, {"tiempo agotado"}},
        };
    for (const auto& [at, folder, password, automatic, named] : cases) {
        SCOPED_TRACE(at + " " + folder);
        const int loginsBefore = server->CountInLog("logged in.");
        ExpectUploadFailure([&] { Upload(pair.Joined(), at, folder, automatic, password); }, named,
                            password);
        EXPECT_TRUE(at != tls || server->CountInLog("logged in.") == loginsBefore) << server->Log();
    }
    EXPECT_TRUE(fs::is_empty(server->root() / "solo-lectura"));
    EXPECT_FALSE(fs::exists(server->root() / "no-existe"));

    // A stopped server fails at once, and is used again when back.
    EXPECT_TRUE(Upload(pair.Joined(), server->Url(), "s"));
    server->Stop();
    ExpectUploadFailure(
        [&] { Upload(pair.Joined(), server->Url(), "s"); },
        {"no se pudo conectar", server->Url(), "/s", "Detalle: código 7 de libcurl."});
    server->Start();
    EXPECT_TRUE(Upload(pair.Joined(), server->Url(), "s"));
    pair.ExpectIn(server->root() / "s");
}

TEST_F(FtpUploadTest, AServerThatRefusesRenamesGetsFinalNamesFromThenOn) {
    FtpServer own(FtpServer::Options{{}, true});
    int temporaryNamesTried = 0;
    for (const std::string id : {"R1", "R2"}) {
        const Pair pair(local, id);
        EXPECT_TRUE(Upload(pair.Joined(), own.Url(), "r"));
        pair.ExpectIn(own.root() / "r");
        if (id == "R1")
            temporaryNamesTried = own.CountInLog(".part completed=1");
    }
    // Only the first request's files tried their temporary names.
    EXPECT_GE(temporaryNamesTried, 1);
    EXPECT_EQ(own.CountInLog(".part completed=1"), temporaryNamesTried) << own.Log();
}

// A slow link: the server reads 80 KB/s, so 400 KB take five seconds, well past every bound the
// uploader is given here. Data that keeps moving is never cut; a stop still ends it at once.
TEST_F(FtpUploadTest, AnUploadThatKeepsMovingIsNeverCutButAStopEndsIt) {
    FtpServer slow(FtpServer::Options{{}, false, 80 * 1024});
    const Pair pair(local, "S", 800 * 1024);  // an items file of 400 KB
    CurlUploader uploader(UploadTimeouts{2s, 2s, 2s});
    uploader.setSERVIDOR(slow.Url());
    uploader.setUSUARIO(FtpServer::kUser);
    uploader.setPassword(FtpServer::kPassword);
    uploader.setdirectorio("lento");
    uploader.setautomatico(true);
    EXPECT_TRUE(uploader.SubirArchivo(pair.items.string()));
    EXPECT_EQ(test::ReadFile(slow.root() / "lento/IS.xml"), test::ReadFile(pair.items));

    const auto start = std::chrono::steady_clock::now();
    SetStopCheck([&] { return std::chrono::steady_clock::now() - start > 1s; });
    EXPECT_THROW(uploader.SubirArchivo(pair.items.string()), Interrupted);
    SetStopCheck(nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(LocalFolderUploadTest, WritesBothFilesIntoTheirNewFolderOrFailsNamingIt) {
    const test::TempDir local, target;
    const std::string url = "file://" + target.path().string();
    const Pair pair(local, "L");
    // A copy cut short by an earlier death is replaced by the next upload of that file.
    test::WriteFile(target.Sub("servidor/despachos/2024/.CL.xml.part"), "cut sh");
    EXPECT_TRUE(Upload(pair.Joined(), url + "/servidor", "despachos/2024"));
    pair.ExpectIn(target.path() / "servidor/despachos/2024");

    test::WriteFile(target.path() / "archivo", "x");  // a file where a folder should be
    ExpectUploadFailure([&] { Upload(pair.Joined(), url, "archivo/sub"); },
                        {target.path().string() + "/archivo/sub"});
    ExpectUploadFailure([&] { Upload(pair.Joined(), url, "falta", false); },
                        {target.path().string() + "/falta"});
    EXPECT_FALSE(fs::exists(target.path() / "falta"));  // not created in active mode
    // Nothing goes above the target's own folder.
    ExpectUploadFailure([&] { Upload(pair.Joined(), url + "/servidor", "../../fuera"); },
                        {"../../fuera", "\"..\""});
    EXPECT_FALSE(fs::exists(target.path().parent_path() / "fuera"));
    // Nor out through a link inside it, and no folder is made there.
    fs::create_symlink(local.path(), target.path() / "servidor/atajo");
    ExpectUploadFailure([&] { Upload(pair.Joined(), url + "/servidor", "atajo/sub"); },
                        {"atajo/sub", "enlace"});
    EXPECT_FALSE(fs::exists(local.path() / "sub"));
}

// Encrypted uploads against real servers: trusted through the office's authority or the known
// hosts, and refused plainly, with what to do, when not.
class SecureUploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = SecureServer::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
    }
    bool Upload(const SecureServer& server, const std::string& certificates = "") const {
        CurlUploader uploader(UploadTimeouts{5s, 5s, 5s}, knownHosts.string());
        uploader.setSERVIDOR(server.Url());
        uploader.setUSUARIO(SecureServer::kUser);
        uploader.setPassword(SecureServer::kPassword);
        uploader.setdirectorio("despachos");
        uploader.setCertificados(certificates);
        return uploader.SubirArchivo(pair.Joined());
    }

    test::TempDir local;
    const Pair pair{local, "S"};
    const fs::path knownHosts = local.path() / "known_hosts";
};

// A TLS server is trusted through the office's authority; an SSH server through the known_hosts
// line that its refusal gives.
TEST_F(SecureUploadTest, UnknownServersAreRefusedWithWhatWouldTrustThem) {
    using enum SecureServer::Kind;
    for (const auto kind : {ExplicitTls, ImplicitTls, Sftp}) {
        const SecureServer server(kind);
        SCOPED_TRACE(server.Url());
        if (kind == Sftp) {
            ExpectUploadFailure(
                [&] { Upload(server); },
                {server.Fingerprint(), server.KnownHostsLine(), knownHosts.string()});
            test::WriteFile(knownHosts, server.KnownHostsLine() + "\n");
        } else {
            ExpectUploadFailure([&] { Upload(server); }, {server.Url(), "CERTIFICADOS"});
            ExpectUploadFailure([&] { Upload(server, "/no/existe.pem"); }, {"/no/existe.pem"});
        }
        EXPECT_TRUE(Upload(server, kind == Sftp ? "" : server.Authority().string()));
        pair.ExpectIn(server.root() / "despachos");
    }
}

TEST(ServerAddressTest, EveryFormOfTheSettingAndWhatItMeans) {
    using enum uploader::Transport;
    const std::tuple<std::string, uploader::Transport, std::string, std::vector<std::string>, bool>
        cases[] = {
            {" archivo.example.com ", Ftp, "ftp://archivo.example.com:21", {}, false},
            {"FTP://h/base/mi%20carpeta", Ftp, "ftp://h:21", {"base", "mi carpeta"}, false},
            {"ftp://h//srv/x", Ftp, "ftp://h:21", {"srv", "x"}, true},
            {"ftpes://h", FtpExplicitTls, "ftpes://h:21", {}, false},
            {"ftps://h", FtpImplicitTls, "ftps://h:990", {}, false},
            {"sftp://[::1]:2222/srv", Sftp, "sftp://[::1]:2222", {"srv"}, true},
            {"sftp://h", Sftp, "sftp://h:22", {}, false},
            {"file:///var/e/", LocalFolder, "file:///var/e", {"var", "e"}, true},
        };
    for (const auto& [setting, transport, display, folder, absolute] : cases) {
        const auto address = uploader::ParseServer(setting);
        EXPECT_EQ(
            std::tuple(address.transport, address.Display(), address.folder, address.absolute),
            std::tuple(transport, display, folder, absolute))
            << setting;
    }
    // A local folder is absolute from the root or, on Windows, from the drive it names.
    for (const auto& [segments, path] : {std::pair<std::vector<std::string>, std::string>{{}, "/"},
                                         {{"var", "e"}, "/var/e"},
                                         {{"C:"}, "C:/"},
                                         {{"C:", "Envios"}, "C:/Envios"}})
        EXPECT_EQ(uploader::LocalFolderPath(segments), path);
    for (const std::string bad :
         {"", "http://h", "h:0", "h:70000", "h:", "[::1", "file://otro/x", "h?x", "mal host"})
        ExpectUploadFailure([&] { uploader::ParseServer(bad); }, {});
    ExpectUploadFailure([] { uploader::ParseServer("ftp://yo:Secreta99@h"); }, {"USUARIO"},
                        "Secreta99");
}

}  // namespace
}  // namespace tolvane::components
