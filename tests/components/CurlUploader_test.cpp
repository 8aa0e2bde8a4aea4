#include "components/uploader/CurlUploader.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>

#include "components/uploader/ServerAddress.h"
#include "components/uploader/UploaderFailure.h"
#include "support/FtpServer.h"
#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

namespace fs = std::filesystem;
using test::FtpServer;
using Clock = std::chrono::steady_clock;

const UploadTimeouts kShortTimeouts{std::chrono::seconds(2), std::chrono::seconds(1),
                                    std::chrono::seconds(2), std::chrono::seconds(6)};

// Bytes that any text-mode handling would alter: line ends of every kind, NUL, high bytes.
std::string BinaryBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes = "<?xml?>\r\n\n\r\0\xFF\xE9";
    while (bytes.size() < size)
        bytes.push_back(static_cast<char>(random() & 0xFF));
    return bytes + "\r\n";
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
    }
    return names;
}

// A dispatch's pair of files in a local folder.
struct Pair {
    Pair(const test::TempDir& dir, const std::string& id, std::size_t size = 20 * 1024)
        : cover(dir.path() / ("C" + id + ".xml")), items(dir.path() / ("I" + id + ".xml")) {
        test::WriteFile(cover, BinaryBytes(size, 1));
        test::WriteFile(items, BinaryBytes(size / 2, 2));
    }
    std::string Joined() const { return cover.string() + "|" + items.string(); }
    // Both files, byte for byte, and no temporary file beside them.
    void ExpectIn(const fs::path& folder) const {
        for (const auto& name : Names(folder))
            EXPECT_NE(name[0], '.') << name;
        EXPECT_EQ(test::ReadFile(folder / cover.filename()), test::ReadFile(cover));
        EXPECT_EQ(test::ReadFile(folder / items.filename()), test::ReadFile(items));
    }
    fs::path cover, items;
};

// `action` must fail as the uploader, naming every item of `named` and never `secret`.
template <class Action>
std::string ExpectUploadFailure(Action&& action, const std::vector<std::string>& named,
                                const std::string& secret = FtpServer::kPassword) {
    try {
        action();
        ADD_FAILURE() << "no failure was raised";
        return {};
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), uploader::kFailureNumber);
        EXPECT_EQ(failure.source(), "Sorvik.Uploader");
        for (const auto& item : named)
            EXPECT_NE(failure.description().find(item), std::string::npos) << failure.description();
        if (!secret.empty()) {
            EXPECT_EQ(failure.description().find(secret), std::string::npos)
                << failure.description();
        }
        return failure.description();
    }
}

std::unique_ptr<CurlUploader> MakeUploader(const std::string& server, const std::string& folder,
                                           bool automatic = true,
                                           const std::string& password = FtpServer::kPassword) {
    auto uploader = std::make_unique<CurlUploader>(kShortTimeouts);
    uploader->setSERVIDOR(server);
    uploader->setUSUARIO(FtpServer::kUser);
    uploader->setPassword(password);
    uploader->setdirectorio(folder);
    uploader->setautomatico(automatic);
    return uploader;
}

class FtpUploadTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (FtpServer::Unavailable().empty())
            server = new FtpServer(FtpServer::Options{{"solo-lectura"}, false});
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (server == nullptr)
            GTEST_SKIP() << FtpServer::Unavailable();
    }

    static FtpServer* server;
    test::TempDir local;
};
FtpServer* FtpUploadTest::server = nullptr;

TEST_F(FtpUploadTest, BothFilesArriveWholeInTheirFolderCreatedAsNeeded) {
    const struct {
        std::string setting, folder, id;
        std::size_t size;
    } cases[] = {
        {"despachos/2024/marzo", "despachos/2024/marzo", "D1", 20000},
        {"\\aduana\\salida\\", "aduana/salida", "D2", 20000},
        {"/despachos/2024/marzo/", "despachos/2024/marzo", "D1", 7000},  // replaces the first
        {"", ".", "D3", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        const Pair pair(local, c.id, c.size);
        EXPECT_TRUE(MakeUploader(server->Url(), c.setting)->SubirArchivo(pair.Joined()));
        pair.ExpectIn(server->root() / c.folder);
    }
}

TEST_F(FtpUploadTest, ActiveModeNeedsAnExistingFolder) {
    const Pair pair(local, "A");
    fs::create_directories(server->root() / "activo");
    EXPECT_TRUE(MakeUploader(server->Url(), "activo", false)->SubirArchivo(pair.Joined()));
    pair.ExpectIn(server->root() / "activo");

    ExpectUploadFailure(
        [&] { MakeUploader(server->Url(), "no-existe", false)->SubirArchivo(pair.Joined()); },
        {"no-existe", server->Url()});
    EXPECT_FALSE(fs::exists(server->root() / "no-existe"));
}

TEST_F(FtpUploadTest, ABacklogOfDispatchesLogsInOnce) {
    const int loginsBefore = server->CountInLog("logged in.");
    const int storesBefore = server->CountInLog("completed=1");
    for (int i = 0; i < 6; ++i) {
        const Pair pair(local, "B" + std::to_string(i));
        EXPECT_TRUE(MakeUploader(server->Url(), "lote")->SubirArchivo(pair.Joined()));
    }
    EXPECT_LE(server->CountInLog("logged in.") - loginsBefore, 1) << server->Log();
    EXPECT_EQ(server->CountInLog("completed=1") - storesBefore, 12);
    EXPECT_EQ(Names(server->root() / "lote").size(), 12u);
}

TEST_F(FtpUploadTest, EmptyOrMissingPathsAnswerFalseAndSendNothing) {
    const Pair pair(local, "M");
    const std::string missing = (local.path() / "Cnada.xml").string();
    const std::string joined[] = {
        "",
        "|",
        pair.cover.string() + "|",
        pair.cover.string() + "|" + missing,
        missing + "|" + pair.items.string(),
        local.path().string() + "|" + pair.items.string(),
    };
    const int loginsBefore = server->CountInLog("logged in.");
    for (const auto& text : joined) {
        EXPECT_FALSE(MakeUploader(server->Url(), "faltantes")->SubirArchivo(text)) << text;
    }
    EXPECT_FALSE(fs::exists(server->root() / "faltantes"));
    EXPECT_EQ(server->CountInLog("logged in."), loginsBefore);
    // A single file is a complete request.
    EXPECT_TRUE(MakeUploader(server->Url(), "uno")->SubirArchivo(pair.cover.string()));
    EXPECT_EQ(Names(server->root() / "uno"), std::set<std::string>{"CM.xml"});
}

TEST_F(FtpUploadTest, FailuresSayWhatAndWhereWithTheServersReplyButNoPassword) {
    const Pair pair(local, "F");
    const std::string wrongPassword = "Mala-Clave-5521";
    const std::string tls = "ftpes://127.0.0.1:" + std::to_string(server->port());
    const struct {
        std::string server, folder, password;
        std::vector<std::string> named;
    } cases[] = {
        {server->Url(), "x", wrongPassword, {"530", "tolvane", "contraseña", server->Url(), "/x"}},
        {server->Url(), "solo-lectura", FtpServer::kPassword, {"550", "/solo-lectura", "CF.xml"}},
        {server->Url(), "solo-lectura/nueva", FtpServer::kPassword, {"/solo-lectura/nueva"}},
        {tls, "x", FtpServer::kPassword, {"TLS", tls}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server + " " + c.folder);
        const int loginsBefore = server->CountInLog("logged in.");
        ExpectUploadFailure(
            [&] {
                MakeUploader(c.server, c.folder, true, c.password)->SubirArchivo(pair.Joined());
            },
            c.named, c.password);
        if (c.password == wrongPassword || c.server == tls) {
            EXPECT_EQ(server->CountInLog("logged in."), loginsBefore);
        }
    }
    EXPECT_TRUE(Names(server->root() / "solo-lectura").empty());
}

TEST_F(FtpUploadTest, AStoppedServerFailsAtOnceAndIsUsedAgainWhenBack) {
    FtpServer own;
    const Pair pair(local, "S");
    EXPECT_TRUE(MakeUploader(own.Url(), "s")->SubirArchivo(pair.Joined()));
    own.Stop();
    const auto start = Clock::now();
    ExpectUploadFailure([&] { MakeUploader(own.Url(), "s")->SubirArchivo(pair.Joined()); },
                        {"no se pudo conectar", own.Url(), "/s"});
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    own.Start();
    EXPECT_TRUE(MakeUploader(own.Url(), "s")->SubirArchivo(pair.Joined()));
    pair.ExpectIn(own.root() / "s");
}

TEST_F(FtpUploadTest, ASilentServerFailsOnceItsTimeRunsOut) {
    // Connections complete in the kernel's backlog, but nobody ever answers.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const Pair pair(local, "T");
    const auto start = Clock::now();
    ExpectUploadFailure(
        [&] {
            MakeUploader("127.0.0.1:" + std::to_string(ntohs(address.sin_port)), "t")
                ->SubirArchivo(pair.Joined());
        },
        {"tiempo agotado"});
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    ::close(listener);
}

TEST_F(FtpUploadTest, AServerThatRefusesRenamesGetsFinalNamesFromThenOn) {
    FtpServer own(FtpServer::Options{{}, true});
    for (const std::string id : {"R1", "R2"}) {
        const Pair pair(local, id);
        EXPECT_TRUE(MakeUploader(own.Url(), "r")->SubirArchivo(pair.Joined()));
    }
    EXPECT_EQ(Names(own.root() / "r"),
              (std::set<std::string>{"CR1.xml", "IR1.xml", "CR2.xml", "IR2.xml"}));
    // Only the very first file tried its temporary name.
    EXPECT_EQ(own.CountInLog(".part completed=1"), 1) << own.Log();
    EXPECT_EQ(own.CountInLog("RNFR"), 1) << own.Log();
}

class LocalFolderUploadTest : public ::testing::Test {
  protected:
    std::string Url() const { return "file://" + target.path().string(); }

    test::TempDir local, target;
};

TEST_F(LocalFolderUploadTest, TheStandardUploaderWritesBothFilesIntoTheirNewFolder) {
    test::TolvaneHome home;
    const Pair pair(local, "L");
    auto uploader = home.factory().Create<Uploader>(kUploader);
    uploader->setSERVIDOR(Url() + "/servidor");
    uploader->setdirectorio("despachos/2024");
    uploader->setautomatico(true);
    EXPECT_TRUE(uploader->SubirArchivo(pair.Joined()));
    pair.ExpectIn(target.path() / "servidor/despachos/2024");
    EXPECT_FALSE(uploader->SubirArchivo(pair.cover.string() + "|" + (local.path() / "x").string()));
}

TEST_F(LocalFolderUploadTest, AFolderThatCannotBeWrittenFailsNamingIt) {
    const Pair pair(local, "W");
    test::WriteFile(target.path() / "archivo", "x");
    ExpectUploadFailure([&] { MakeUploader(Url(), "archivo/sub")->SubirArchivo(pair.Joined()); },
                        {target.path().string() + "/archivo/sub"});
    ExpectUploadFailure([&] { MakeUploader(Url(), "falta", false)->SubirArchivo(pair.Joined()); },
                        {target.path().string() + "/falta"});
    EXPECT_FALSE(fs::exists(target.path() / "falta"));
}

TEST_F(LocalFolderUploadTest, AFolderWithoutWritePermissionFailsNamingIt) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const Pair pair(local, "P");
    fs::create_directories(target.path() / "cerrada");
    fs::permissions(target.path() / "cerrada", fs::perms::owner_read | fs::perms::owner_exec);
    ExpectUploadFailure([&] { MakeUploader(Url(), "cerrada")->SubirArchivo(pair.Joined()); },
                        {target.path().string() + "/cerrada", "permiso denegado"});
    EXPECT_TRUE(Names(target.path() / "cerrada").empty());
}

TEST(ServerAddressTest, EveryFormOfTheSettingAndWhatItMeans) {
    using uploader::Transport;
    const struct {
        std::string setting;
        Transport transport;
        std::string display;
        std::vector<std::string> folder;
        bool absolute;
    } cases[] = {
        {" archivo.example.com ", Transport::Ftp, "ftp://archivo.example.com:21", {}, false},
        {"10.0.0.5:2121", Transport::Ftp, "ftp://10.0.0.5:2121", {}, false},
        {"[::1]:2121", Transport::Ftp, "ftp://[::1]:2121", {}, false},
        {"FTP://h/base/mi%20carpeta", Transport::Ftp, "ftp://h:21", {"base", "mi carpeta"}, false},
        {"ftp://h//srv/x", Transport::Ftp, "ftp://h:21", {"srv", "x"}, true},
        {"ftpes://h", Transport::FtpExplicitTls, "ftpes://h:21", {}, false},
        {"ftps://h", Transport::FtpImplicitTls, "ftps://h:990", {}, false},
        {"sftp://h:2222/srv", Transport::Sftp, "sftp://h:2222", {"srv"}, true},
        {"sftp://h", Transport::Sftp, "sftp://h:22", {}, false},
        {"file:///var/envios/",
         Transport::LocalFolder,
         "file:///var/envios",
         {"var", "envios"},
         true},
    };
    for (const auto& c : cases) {
        const auto address = uploader::ParseServer(c.setting);
        EXPECT_EQ(address.transport, c.transport) << c.setting;
        EXPECT_EQ(address.Display(), c.display) << c.setting;
        EXPECT_EQ(address.folder, c.folder) << c.setting;
        EXPECT_EQ(address.absolute, c.absolute) << c.setting;
    }
    for (const std::string bad :
         {"", "http://h", "h:0", "h:70000", "h:", "[::1", "file://otro/x", "h?x", "mal host"}) {
        ExpectUploadFailure([&] { uploader::ParseServer(bad); }, {}, "");
    }
    ExpectUploadFailure([] { uploader::ParseServer("ftp://yo:Secreta99@h"); }, {"USUARIO"},
                        "Secreta99");
}

}  // namespace
}  // namespace tolvane::components
