// Pairs of 20 KB dispatch files per second through Sorvik.Uploader, one uploader object per
// pair as the program makes them, to a loopback FTP server: with the temporary name and its
// rename, and with direct uploads (a server that refuses renames); a local folder for scale.
//
//   bench_upload [pairs per case, default 300]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "components/uploader/CurlUploader.h"
#include "support/FtpServer.h"
#include "support/TempDir.h"

namespace {

using namespace tolvane;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kFileSize = 20 * 1024;

std::vector<std::string> MakePairs(const test::TempDir& dir, int count) {
    const std::string bytes(kFileSize, 'x');
    std::vector<std::string> joined;
    for (int i = 0; i < count; ++i) {
        const auto id = std::to_string(i);
        test::WriteFile(dir.path() / ("C" + id + ".xml"), bytes);
        test::WriteFile(dir.path() / ("I" + id + ".xml"), bytes);
        joined.push_back((dir.path() / ("C" + id + ".xml")).string() + "|" +
                         (dir.path() / ("I" + id + ".xml")).string());
    }
    return joined;
}

bool Upload(const std::string& server, const std::string& folder, const std::string& joined) {
    components::CurlUploader uploader;
    uploader.setSERVIDOR(server);
    uploader.setUSUARIO(test::FtpServer::kUser);
    uploader.setPassword(test::FtpServer::kPassword);
    uploader.setdirectorio(folder);
    uploader.setautomatico(true);
    return uploader.SubirArchivo(joined);
}

// The first pair is sent before the clock starts: it pays the login (and, on a server that
// refuses renames, the discovery of that).
void Measure(const char* label, const std::string& server, const std::vector<std::string>& pairs,
             const test::FtpServer* ftp) {
    Upload(server, "bench", pairs.front());
    const int loginsBefore = ftp != nullptr ? ftp->CountInLog("logged in.") : 0;
    std::vector<double> milliseconds;
    const auto start = Clock::now();
    for (const auto& joined : pairs) {
        const auto pairStart = Clock::now();
        if (!Upload(server, "bench", joined))
            throw std::runtime_error("a pair was not sent");
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - pairStart).count());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("%-30s %5zu pairs %7.3f s %7.1f pairs/s   ms per pair: median %.2f, p95 %.2f",
                label, pairs.size(), seconds, static_cast<double>(pairs.size()) / seconds,
                milliseconds[milliseconds.size() / 2],
                milliseconds[milliseconds.size() * 95 / 100]);
    if (ftp != nullptr)
        std::printf("   logins: %d", ftp->CountInLog("logged in.") - loginsBefore);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const int count = argc > 1 ? std::atoi(argv[1]) : 300;
        if (count < 1) {
            std::fprintf(stderr, "usage: bench_upload [pairs per case]\n");
            return 2;
        }
        if (const std::string why = test::FtpServer::Unavailable(); !why.empty()) {
            std::fprintf(stderr, "bench_upload: %s\n", why.c_str());
            return 1;
        }
        test::TempDir local, target;
        const auto pairs = MakePairs(local, count);

        test::FtpServer renaming;
        Measure("FTP, temporary name + rename", renaming.Url(), pairs, &renaming);
        test::FtpServer direct(test::FtpServer::Options{{}, true});
        Measure("FTP, direct (rename refused)", direct.Url(), pairs, &direct);
        Measure("local folder (file://)", "file://" + target.path().string(), pairs, nullptr);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_upload: %s\n", error.what());
        return 1;
    }
}
