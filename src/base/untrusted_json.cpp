#include "base/untrusted_json.h"

#include <string>

#include "base/utf_convert.h"

namespace tovasen {
namespace {

using nlohmann::json;

[[noreturn]] void Refuse(const std::string& why) { throw EUntrustedJson(Utf8ToWide("JSON text refused: " + why)); }

// Counts what a text holds as the parser reads it and stops at the first limit crossed. It keeps
// nothing but its counts, so a refused text costs no memory beyond the parser's own stack of
// open arrays and objects, which the depth limit bounds.
class TLimitCheck : public nlohmann::json_sax<json> {
public:
    explicit TLimitCheck(const TJsonLimits& limits) : FLimits(limits) {}

    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool string(string_t& value) override { return Text(value) && Value(); }
    bool binary(binary_t&) override { return false; }
    bool key(string_t& name) override { return Text(name) && Value(); }
    bool start_object(std::size_t) override { return Open(); }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
        Refuse(e.what());
    }

private:
    bool Value() {
        if (++FValues > FLimits.MaxValues) Refuse("more than " + std::to_string(FLimits.MaxValues) + " values");
        return true;
    }
    bool Text(const string_t& text) {
        if (text.size() > FLimits.MaxStringBytes) {
            Refuse("a string longer than " + std::to_string(FLimits.MaxStringBytes) + " bytes");
        }
        return true;
    }
    bool Open() {
        if (++FDepth > FLimits.MaxDepth) Refuse("nested deeper than " + std::to_string(FLimits.MaxDepth));
        return Value();
    }
    bool Close() {
        --FDepth;
        return true;
    }

    const TJsonLimits& FLimits;
    std::size_t FValues = 0, FDepth = 0;
};

}  // namespace

json ReadUntrustedJson(std::string_view text, const TJsonLimits& limits) {
    if (text.size() > limits.MaxBytes) Refuse("longer than " + std::to_string(limits.MaxBytes) + " bytes");
    // Measured first, built second: the parser reads iteratively, and its tree is only built
    // for a text known to be within every limit. (Its callback form would stop earlier, but
    // costs time quadratic in the length of a list.)
    TLimitCheck check(limits);
    try {
        json::sax_parse(text.begin(), text.end(), &check);
        return json::parse(text.begin(), text.end());
    } catch (const json::exception& e) {
        Refuse(e.what());
    }
}

const json& Member(const json& object, const char* name) {
    const json* found = OptionalMember(object, name);
    if (!found) Refuse(std::string("\"") + name + "\" is missing");
    return *found;
}

const json* OptionalMember(const json& object, const char* name) {
    if (!object.is_object()) Refuse(std::string("no object where \"") + name + "\" was looked for");
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
}

long long IntegerIn(const json& value, const char* what, long long low, long long high) {
    long long v = 0;
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        v = value.get<long long>();
    } else if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(high)) Refuse(std::string(what) + " is out of range");
        v = static_cast<long long>(u);
    } else {
        Refuse(std::string(what) + " is not a whole number");
    }
    if (v < low || v > high) Refuse(std::string(what) + " is out of range");
    return v;
}

const std::string& StringOf(const json& value, const char* what) {
    if (!value.is_string()) Refuse(std::string(what) + " is not a string");
    return value.get_ref<const std::string&>();
}

const json::array_t& ArrayOf(const json& value, const char* what) {
    if (!value.is_array()) Refuse(std::string(what) + " is not a list");
    return value.get_ref<const json::array_t&>();
}

}  // namespace tovasen
