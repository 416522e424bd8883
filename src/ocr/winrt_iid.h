#pragma once
// Interface identifiers of parameterised Windows Runtime interfaces (IVectorView<HSTRING>,
// IAsyncOperation<OcrResult>, ...) are not listed anywhere: they are derived from the type's
// signature with SHA-1 (a name-based, version 5 UUID in the Windows Runtime's namespace). We
// compute them instead of copying them, because copied ones have been wrong before.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tovasen {

struct TGuid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};
    friend bool operator==(const TGuid&, const TGuid&) = default;
};

// "5bffa85a-3384-3540-9940-699120d428a8", with or without braces, any case. Raises
// std::invalid_argument for anything else.
TGuid ParseGuid(std::string_view text);
// Lower case in braces, as signatures spell identifiers: "{5bffa85a-3384-...}".
std::string GuidSignature(const TGuid& guid);

// The 20-byte SHA-1 digest of data.
std::array<std::uint8_t, 20> Sha1(std::string_view data);

// Signatures of the type system's pieces.
std::string RuntimeClassSignature(std::string_view className, const TGuid& defaultInterface);
std::string InterfaceSignature(const TGuid& generic, std::initializer_list<std::string_view> arguments);
inline constexpr std::string_view kStringSignature = "string";
inline constexpr std::string_view kDoubleSignature = "f8";

// The identifier of the parameterised type with this signature.
TGuid ParameterizedIid(std::string_view signature);

}  // namespace tovasen
