#include "tools/mail/mail_charset.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>

namespace kalder::tools {

const std::array<CharsetRow, 42> kCharsetTable = {{
    {"unknown", 0},         {"DIN_66003", 20106},   {"NS_4551-1", 20108},   {"SEN_850200_B", 20107},
    {"big5", 950},          {"csISO2022JP", 50221}, {"euc-kr", 51949},      {"gb2312", 936},
    {"hz-gb-2312", 52936},  {"ibm852", 852},        {"ibm866", 866},        {"irv", 20105},
    {"iso-2022-jp", 50220}, {"iso-2022-jp", 50222}, {"iso-2022-kr", 50225}, {"iso-8859-1", 1252},
    {"iso-8859-1", 28591},  {"iso-8859-2", 28592},  {"iso-8859-3", 28593},  {"iso-8859-4", 28594},
    {"iso-8859-5", 28595},  {"iso-8859-6", 28596},  {"iso-8859-7", 28597},  {"iso-8859-8", 28598},
    {"koi8-r", 20866},      {"ks_c_5601", 949},     {"shift-jis", 932},     {"unicode", 1200},
    {"unicodeFEFF", 1201},  {"utf-7", 65000},       {"utf-8", 65001},       {"windows-1250", 1250},
    {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253}, {"windows-1254", 1254},
    {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257}, {"windows-1258", 1258},
    {"windows-874", 874},   {"x-euc", 51932},
}};

std::string charsetForCodePage(std::int32_t codePage) {
    for (std::size_t i = 1; i < kCharsetTable.size(); ++i)
        if (kCharsetTable[i].codePage == codePage) return kCharsetTable[i].name;
    return kCharsetTable[0].name;
}

std::int32_t codePageForCodeset(std::string_view codeset) {
    std::string key;
    for (char c : codeset)
        if (std::isalnum(static_cast<unsigned char>(c)))
            key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // ISO-8859-N for the eight parts the table names.
    if (key.size() == 8 && key.starts_with("ISO8859") && key[7] >= '1' && key[7] <= '8')
        return 28590 + (key[7] - '0');
    // Plain ASCII is what the C locale reports; Latin-1 is its smallest superset in the table.
    static const std::array<std::pair<const char*, std::int32_t>, 17> names = {{
        {"UTF8", 65001},
        {"ANSIX341968", 1252},
        {"ASCII", 1252},
        {"USASCII", 1252},
        {"KOI8R", 20866},
        {"CP1250", 1250},
        {"CP1251", 1251},
        {"CP1252", 1252},
        {"CP1253", 1253},
        {"CP1254", 1254},
        {"CP1255", 1255},
        {"CP1256", 1256},
        {"CP1257", 1257},
        {"BIG5", 950},
        {"GB2312", 936},
        {"EUCKR", 51949},
        {"SHIFTJIS", 932},
    }};
    auto it =
        std::find_if(names.begin(), names.end(), [&](const auto& n) { return key == n.first; });
    return it == names.end() ? 0 : it->second;
}

std::string localeCharset() {
    const char* codeset = nl_langinfo(CODESET);
    return charsetForCodePage(codePageForCodeset(codeset ? codeset : ""));
}

}  // namespace kalder::tools
