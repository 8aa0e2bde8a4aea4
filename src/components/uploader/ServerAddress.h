#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvane::components::uploader {

// How the uploader reaches its server; see ParseServer for the forms of the setting.
enum class Transport {
    Ftp,             // plain FTP
    FtpExplicitTls,  // FTP that must switch to TLS (AUTH TLS) before logging in
    FtpImplicitTls,  // FTP inside TLS from the first byte
    Sftp,            // SSH file transfer
    LocalFolder,     // a folder of this computer
};

struct ServerAddress {
    Transport transport = Transport::Ftp;
    std::string scheme;  // as the setting names it: "ftp", "ftpes", "ftps", "sftp", "file"
    std::string host;    // IPv6 literals keep their brackets; empty for a local folder
    int port = 0;
    // The folder the setting names, split into segments. A network folder is relative to the
    // login folder unless `absolute`; a local folder is always absolute.
    std::vector<std::string> folder;
    bool absolute = false;

    // "scheme://host:port", or "file://" + the folder for a local folder: what messages show.
    std::string Display() const;
    // The same for every folder of one server: scheme, host and port.
    std::string ServerKey() const;
};

// The setting SERVIDOR, surrounding blanks ignored:
//   host[:port][/folder]           plain FTP (port 21); "[IPv6]:port" for IPv6 addresses
//   ftp://host[:port][/folder]     plain FTP (port 21)
//   ftpes://host[:port][/folder]   FTP with explicit TLS: AUTH TLS on the FTP port (21), the
//                                  login and every transfer encrypted, no fallback to plain
//   ftps://host[:port][/folder]    FTP with implicit TLS (port 990)
//   sftp://host[:port][/folder]    SFTP (port 22); the folder is absolute, none means home
//   file:///absolute/folder        a local folder ("file://localhost/..." also accepted;
//                                  on Windows "file:///C:/folder")
// An FTP folder is relative to the login folder; "//folder" or "/%2Ffolder" makes it
// absolute. Percent escapes in folders are decoded. User names and passwords in the setting
// are refused: they belong in USUARIO and PASSWORD. Anything else fails with a description
// that names the setting's value.
ServerAddress ParseServer(std::string_view setting);

// The segments of a folder setting: "/" and "\" both separate, empty and "." segments are
// dropped, so "/despachos/2024/", "despachos\2024" and "despachos/2024" are the same folder.
std::vector<std::string> SplitFolder(std::string_view folder);

// The local path of a file:// folder's segments: absolute from the root, or from the drive
// that a first segment such as "C:" names.
std::string LocalFolderPath(const std::vector<std::string>& segments);

// Percent-encodes one path segment for a URL: everything but unreserved characters.
std::string EncodeSegment(std::string_view segment);

// An SSH host key (its wire-format bytes) as OpenSSH shows it: "SHA256:" and the base64 of its
// digest without padding.
std::string Sha256Fingerprint(std::string_view key);
// The known_hosts line that trusts the key for the host: "[host]:port" unless the port is 22.
std::string KnownHostsLine(const std::string& host, int port, std::string_view key);
std::string Base64Encode(std::string_view bytes);
std::string Base64Decode(std::string_view text);

}  // namespace tolvane::components::uploader
