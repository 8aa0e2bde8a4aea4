#include "components/uploader/ServerAddress.h"

#include <cctype>

#include "common/Text.h"
#include "components/uploader/UploaderFailure.h"
#include "platform/Digest.h"

namespace tolvane::components::uploader {
namespace {

struct SchemeInfo {
    const char* name;
    Transport transport;
    int defaultPort;
};

constexpr SchemeInfo kSchemes[] = {
    {"ftp", Transport::Ftp, 21},
    {"ftpes", Transport::FtpExplicitTls, 21},
    {"ftps", Transport::FtpImplicitTls, 990},
    {"sftp", Transport::Sftp, 22},
    {"file", Transport::LocalFolder, 0},
};

Failure Invalid(std::string_view setting, const std::string& why) {
    return UploaderFailure("El servidor configurado (" + std::string(setting) +
                           ") no es válido: " + why);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%xx" escapes decoded; a "%" that starts no escape stays as it is.
std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// ASCII only, whatever the locale.
bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsHostChar(char c) {
    return IsAlnum(c) || c == '-' || c == '.' || c == '_';
}

bool IsIpv6Char(char c) {
    return HexValue(c) >= 0 || c == ':' || c == '.';
}

// "host", "host:port" or "[v6]:port" into the address; the default port when none is given.
void ParseAuthority(std::string_view setting, std::string_view authority, int defaultPort,
                    ServerAddress& address) {
    if (authority.find('@') != std::string_view::npos) {
        // The setting itself is not repeated: it would show the password.
        throw UploaderFailure(
            "El servidor configurado no puede llevar usuario ni contraseña; indíquelos en "
            "USUARIO y PASSWORD");
    }
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos || close == 1)
            throw Invalid(setting, "dirección IPv6 incompleta");
        for (char c : authority.substr(1, close - 1)) {
            if (!IsIpv6Char(c))
                throw Invalid(setting, "dirección IPv6 incorrecta");
        }
        address.host = std::string(authority.substr(0, close + 1));
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                throw Invalid(setting, "se esperaba \":puerto\" tras la dirección IPv6");
            portText = rest.substr(1);
            if (portText.empty())
                throw Invalid(setting, "falta el número de puerto");
        }
    } else {
        const auto colon = authority.find(':');
        address.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty())
                throw Invalid(setting, "falta el número de puerto");
        }
        if (address.host.empty())
            throw Invalid(setting, "falta el nombre del servidor");
        for (char c : address.host) {
            if (!IsHostChar(c))
                throw Invalid(setting, "el nombre del servidor tiene caracteres no admitidos");
        }
    }
    if (portText.empty()) {
        address.port = defaultPort;
        return;
    }
    int port = 0;
    for (char c : portText) {
        if (c < '0' || c > '9' || port > 65535)
            throw Invalid(setting, "el puerto debe ser un número de 1 a 65535");
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        throw Invalid(setting, "el puerto debe ser un número de 1 a 65535");
    address.port = port;
}

}  // namespace

std::string ServerAddress::Display() const {
    if (transport == Transport::LocalFolder) {
        std::string path;
        for (const auto& segment : folder)
            path += "/" + segment;
        return "file://" + (path.empty() ? std::string("/") : path);
    }
    return ServerKey();
}

std::string ServerAddress::ServerKey() const {
    if (transport == Transport::LocalFolder)
        return "file://";
    return scheme + "://" + host + ":" + std::to_string(port);
}

ServerAddress ParseServer(std::string_view rawSetting) {
    const std::string_view setting = text::TrimBlanks(rawSetting);
    if (setting.empty())
        throw UploaderFailure("No se configuró el servidor al que subir los archivos");
    for (char c : setting) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '?' || c == '#')
            throw Invalid(setting, "tiene caracteres no admitidos");
    }

    ServerAddress address;
    std::string_view rest = setting;
    int defaultPort = 21;
    const auto separator = setting.find("://");
    if (separator == std::string_view::npos) {
        address.scheme = "ftp";
    } else {
        address.scheme = text::ToLowerAscii(setting.substr(0, separator));
        const SchemeInfo* known = nullptr;
        for (const auto& info : kSchemes) {
            if (address.scheme == info.name)
                known = &info;
        }
        if (known == nullptr) {
            throw Invalid(setting,
                          "se admiten ftp://, ftpes://, ftps://, sftp:// y file:// (sin esquema, "
                          "FTP)");
        }
        address.transport = known->transport;
        defaultPort = known->defaultPort;
        rest = setting.substr(separator + 3);
    }

    const auto slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    const std::string path =
        slash == std::string_view::npos ? std::string() : PercentDecode(rest.substr(slash + 1));

    if (address.transport == Transport::LocalFolder) {
        if (!authority.empty() && !text::EqualsNoCase(authority, "localhost"))
            throw Invalid(setting, "una carpeta local se escribe file:///carpeta");
        address.absolute = true;
        address.folder = SplitFolder(path);
        return address;
    }

    ParseAuthority(setting, authority, defaultPort, address);
    // For SFTP the URL's path is absolute; for FTP a second slash makes it so.
    address.absolute =
        address.transport == Transport::Sftp ? !path.empty() : (!path.empty() && path[0] == '/');
    address.folder = SplitFolder(path);
    return address;
}

std::vector<std::string> SplitFolder(std::string_view folder) {
    std::vector<std::string> segments;
    std::string current;
    auto flush = [&] {
        if (!current.empty() && current != ".")
            segments.push_back(current);
        current.clear();
    };
    for (char c : folder) {
        if (c == '/' || c == '\\')
            flush();
        else
            current.push_back(c);
    }
    flush();
    return segments;
}

std::string EncodeSegment(std::string_view segment) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : segment) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

std::string Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]))
                              << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::string Base64Decode(std::string_view text) {
    std::string out;
    std::uint32_t group = 0;
    int bits = 0;
    for (const char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z')
            value = c - 'A';
        else if (c >= 'a' && c <= 'z')
            value = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            value = c - '0' + 52;
        else if (c == '+')
            value = 62;
        else if (c == '/')
            value = 63;
        else
            continue;  // padding, line breaks
        group = (group << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return out;
}

std::string LocalFolderPath(const std::vector<std::string>& segments) {
    std::string path;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const bool drive = i == 0 && segments[i].size() == 2 && segments[i][1] == ':' &&
                           std::isalpha(static_cast<unsigned char>(segments[i][0]));
        path += (drive ? "" : "/") + segments[i];
    }
    return path.empty() ? "/" : path.size() == 2 ? path + "/" : path;
}

std::string Sha256Fingerprint(std::string_view key) {
    std::string text = Base64Encode(platform::Sha256(key));
    while (!text.empty() && text.back() == '=')
        text.pop_back();
    return "SHA256:" + text;
}

std::string KnownHostsLine(const std::string& host, int port, std::string_view key) {
    // The key's own type name opens its wire format: a 32-bit length, then the name.
    std::string type = "ssh-rsa";
    if (key.size() >= 4) {
        const std::uint32_t length =
            (static_cast<std::uint32_t>(static_cast<unsigned char>(key[0])) << 24) |
            (static_cast<std::uint32_t>(static_cast<unsigned char>(key[1])) << 16) |
            (static_cast<std::uint32_t>(static_cast<unsigned char>(key[2])) << 8) |
            static_cast<unsigned char>(key[3]);
        if (length > 0 && length <= 64 && key.size() >= 4 + length)
            type = std::string(key.substr(4, length));
    }
    const std::string name = port == 22 ? host : "[" + host + "]:" + std::to_string(port);
    return name + " " + type + " " + Base64Encode(key);
}

}  // namespace tolvane::components::uploader
