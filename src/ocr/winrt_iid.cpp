#include "ocr/winrt_iid.h"

#include <cstdio>
#include <stdexcept>

namespace tovasen {
namespace {

constexpr std::uint32_t Rotl(std::uint32_t v, int n) noexcept { return (v << n) | (v >> (32 - n)); }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The namespace every parameterised interface identifier is derived in.
constexpr std::array<std::uint8_t, 16> kPInterfaceNamespace = {0x11, 0xf4, 0x7a, 0xd5, 0x7b, 0x73, 0x42, 0xc0,
                                                               0xab, 0xae, 0x87, 0x8b, 0x1e, 0x16, 0xad, 0xee};

}  // namespace

TGuid ParseGuid(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
        throw std::invalid_argument("not a GUID");
    }
    std::array<std::uint8_t, 16> bytes{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        if (text[at] == '-') ++at;
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0) throw std::invalid_argument("not a GUID");
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
        at += 2;
    }
    TGuid guid;
    guid.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
                 bytes[3];
    guid.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (std::size_t i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
    return guid;
}

std::string GuidSignature(const TGuid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", static_cast<unsigned>(g.Data1),
                  static_cast<unsigned>(g.Data2), static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2],
                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::array<std::uint8_t, 20> Sha1(std::string_view data) {
    std::uint32_t h[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    std::string message(data);
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    message += static_cast<char>(0x80);
    while (message.size() % 64 != 56) message += '\0';
    for (int i = 7; i >= 0; --i) message += static_cast<char>((bits >> (i * 8)) & 0xFF);
    for (std::size_t chunk = 0; chunk < message.size(); chunk += 64) {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i) {
            const auto* p = reinterpret_cast<const unsigned char*>(message.data() + chunk + static_cast<std::size_t>(i) * 4);
            w[i] = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
        }
        for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999u;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1u;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDCu;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6u;
            }
            const std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = Rotl(b, 30);
            b = a;
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    std::array<std::uint8_t, 20> digest{};
    for (std::size_t i = 0; i < 20; ++i) digest[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

std::string RuntimeClassSignature(std::string_view className, const TGuid& defaultInterface) {
    std::string signature = "rc(";
    signature.append(className).append(";").append(GuidSignature(defaultInterface)).append(")");
    return signature;
}

std::string InterfaceSignature(const TGuid& generic, std::initializer_list<std::string_view> arguments) {
    std::string signature = "pinterface(";
    signature.append(GuidSignature(generic));
    for (std::string_view argument : arguments) signature.append(";").append(argument);
    signature.append(")");
    return signature;
}

TGuid ParameterizedIid(std::string_view signature) {
    std::string data(kPInterfaceNamespace.begin(), kPInterfaceNamespace.end());
    data.append(signature);
    std::array<std::uint8_t, 20> hash = Sha1(data);
    hash[6] = static_cast<std::uint8_t>((hash[6] & 0x0F) | 0x50);  // version 5: name-based, SHA-1
    hash[8] = static_cast<std::uint8_t>((hash[8] & 0x3F) | 0x80);  // the RFC 4122 variant
    TGuid guid;
    guid.Data1 = (std::uint32_t{hash[0]} << 24) | (std::uint32_t{hash[1]} << 16) | (std::uint32_t{hash[2]} << 8) |
                 hash[3];
    guid.Data2 = static_cast<std::uint16_t>((hash[4] << 8) | hash[5]);
    guid.Data3 = static_cast<std::uint16_t>((hash[6] << 8) | hash[7]);
    for (std::size_t i = 0; i < 8; ++i) guid.Data4[i] = hash[8 + i];
    return guid;
}

}  // namespace tovasen
