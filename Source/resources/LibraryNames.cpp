#include "resources/LibraryNames.h"

#include <cstdio>

#include "platform/Text.h"
#include "resources/ResName.h"

namespace velto {

namespace {

// Language ids (primary language in the low 10 bits, region above) with
// English names. Neutral (0) is not here: the editor lists it first itself.
constexpr TLanguageName kLanguages[] = {
    {0x0436, "Afrikaans (South Africa)"},   {0x041C, "Albanian (Albania)"},
    {0x0484, "Alsatian (France)"},          {0x045E, "Amharic (Ethiopia)"},
    {0x1401, "Arabic (Algeria)"},           {0x3C01, "Arabic (Bahrain)"},
    {0x0C01, "Arabic (Egypt)"},             {0x0801, "Arabic (Iraq)"},
    {0x2C01, "Arabic (Jordan)"},            {0x3401, "Arabic (Kuwait)"},
    {0x3001, "Arabic (Lebanon)"},           {0x1001, "Arabic (Libya)"},
    {0x1801, "Arabic (Morocco)"},           {0x2001, "Arabic (Oman)"},
    {0x4001, "Arabic (Qatar)"},             {0x0401, "Arabic (Saudi Arabia)"},
    {0x2801, "Arabic (Syria)"},             {0x1C01, "Arabic (Tunisia)"},
    {0x3801, "Arabic (United Arab Emirates)"}, {0x2401, "Arabic (Yemen)"},
    {0x042B, "Armenian (Armenia)"},         {0x044D, "Assamese (India)"},
    {0x082C, "Azerbaijani (Cyrillic, Azerbaijan)"}, {0x042C, "Azerbaijani (Latin, Azerbaijan)"},
    {0x046D, "Bashkir (Russia)"},           {0x042D, "Basque (Spain)"},
    {0x0423, "Belarusian (Belarus)"},       {0x0845, "Bangla (Bangladesh)"},
    {0x0445, "Bangla (India)"},             {0x201A, "Bosnian (Cyrillic, Bosnia and Herzegovina)"},
    {0x141A, "Bosnian (Latin, Bosnia and Herzegovina)"}, {0x047E, "Breton (France)"},
    {0x0402, "Bulgarian (Bulgaria)"},       {0x0403, "Catalan (Spain)"},
    {0x0C04, "Chinese (Hong Kong SAR)"},    {0x1404, "Chinese (Macao SAR)"},
    {0x0804, "Chinese (Simplified, China)"}, {0x1004, "Chinese (Singapore)"},
    {0x0404, "Chinese (Traditional, Taiwan)"}, {0x0483, "Corsican (France)"},
    {0x041A, "Croatian (Croatia)"},         {0x101A, "Croatian (Bosnia and Herzegovina)"},
    {0x0405, "Czech (Czech Republic)"},     {0x0406, "Danish (Denmark)"},
    {0x048C, "Dari (Afghanistan)"},         {0x0465, "Divehi (Maldives)"},
    {0x0813, "Dutch (Belgium)"},            {0x0413, "Dutch (Netherlands)"},
    {0x0C09, "English (Australia)"},        {0x2809, "English (Belize)"},
    {0x1009, "English (Canada)"},           {0x2409, "English (Caribbean)"},
    {0x4009, "English (India)"},            {0x1809, "English (Ireland)"},
    {0x2009, "English (Jamaica)"},          {0x4409, "English (Malaysia)"},
    {0x1409, "English (New Zealand)"},      {0x3409, "English (Philippines)"},
    {0x4809, "English (Singapore)"},        {0x1C09, "English (South Africa)"},
    {0x2C09, "English (Trinidad and Tobago)"}, {0x0809, "English (United Kingdom)"},
    {0x0409, "English (United States)"},    {0x3009, "English (Zimbabwe)"},
    {0x0425, "Estonian (Estonia)"},         {0x0438, "Faroese (Faroe Islands)"},
    {0x0464, "Filipino (Philippines)"},     {0x040B, "Finnish (Finland)"},
    {0x080C, "French (Belgium)"},           {0x0C0C, "French (Canada)"},
    {0x040C, "French (France)"},            {0x140C, "French (Luxembourg)"},
    {0x180C, "French (Monaco)"},            {0x100C, "French (Switzerland)"},
    {0x0462, "Frisian (Netherlands)"},      {0x0456, "Galician (Spain)"},
    {0x0437, "Georgian (Georgia)"},         {0x0C07, "German (Austria)"},
    {0x0407, "German (Germany)"},           {0x1407, "German (Liechtenstein)"},
    {0x1007, "German (Luxembourg)"},        {0x0807, "German (Switzerland)"},
    {0x0408, "Greek (Greece)"},             {0x046F, "Greenlandic (Greenland)"},
    {0x0447, "Gujarati (India)"},           {0x0468, "Hausa (Nigeria)"},
    {0x040D, "Hebrew (Israel)"},            {0x0439, "Hindi (India)"},
    {0x040E, "Hungarian (Hungary)"},        {0x040F, "Icelandic (Iceland)"},
    {0x0470, "Igbo (Nigeria)"},             {0x0421, "Indonesian (Indonesia)"},
    {0x085D, "Inuktitut (Latin, Canada)"},  {0x083C, "Irish (Ireland)"},
    {0x0434, "isiXhosa (South Africa)"},    {0x0435, "isiZulu (South Africa)"},
    {0x0410, "Italian (Italy)"},            {0x0810, "Italian (Switzerland)"},
    {0x0411, "Japanese (Japan)"},           {0x044B, "Kannada (India)"},
    {0x043F, "Kazakh (Kazakhstan)"},        {0x0453, "Khmer (Cambodia)"},
    {0x0487, "Kinyarwanda (Rwanda)"},       {0x0441, "Kiswahili (Kenya)"},
    {0x0457, "Konkani (India)"},            {0x0412, "Korean (Korea)"},
    {0x0440, "Kyrgyz (Kyrgyzstan)"},        {0x0454, "Lao (Laos)"},
    {0x0426, "Latvian (Latvia)"},           {0x0427, "Lithuanian (Lithuania)"},
    {0x046E, "Luxembourgish (Luxembourg)"}, {0x042F, "Macedonian (North Macedonia)"},
    {0x083E, "Malay (Brunei)"},             {0x043E, "Malay (Malaysia)"},
    {0x044C, "Malayalam (India)"},          {0x043A, "Maltese (Malta)"},
    {0x0481, "Maori (New Zealand)"},        {0x047A, "Mapudungun (Chile)"},
    {0x044E, "Marathi (India)"},            {0x047C, "Mohawk (Canada)"},
    {0x0450, "Mongolian (Cyrillic, Mongolia)"}, {0x0461, "Nepali (Nepal)"},
    {0x0414, "Norwegian, Bokmal (Norway)"}, {0x0814, "Norwegian, Nynorsk (Norway)"},
    {0x0482, "Occitan (France)"},           {0x0448, "Odia (India)"},
    {0x0463, "Pashto (Afghanistan)"},       {0x0429, "Persian (Iran)"},
    {0x0415, "Polish (Poland)"},            {0x0416, "Portuguese (Brazil)"},
    {0x0816, "Portuguese (Portugal)"},      {0x0446, "Punjabi (India)"},
    {0x046B, "Quechua (Bolivia)"},          {0x0418, "Romanian (Romania)"},
    {0x0417, "Romansh (Switzerland)"},      {0x0419, "Russian (Russia)"},
    {0x243B, "Sami, Inari (Finland)"},      {0x043B, "Sami, Northern (Norway)"},
    {0x044F, "Sanskrit (India)"},           {0x0491, "Scottish Gaelic (United Kingdom)"},
    {0x0C1A, "Serbian (Cyrillic, Serbia and Montenegro)"}, {0x081A, "Serbian (Latin, Serbia and Montenegro)"},
    {0x046C, "Sesotho sa Leboa (South Africa)"}, {0x0432, "Setswana (South Africa)"},
    {0x045B, "Sinhala (Sri Lanka)"},        {0x041B, "Slovak (Slovakia)"},
    {0x0424, "Slovenian (Slovenia)"},       {0x2C0A, "Spanish (Argentina)"},
    {0x400A, "Spanish (Bolivia)"},          {0x340A, "Spanish (Chile)"},
    {0x240A, "Spanish (Colombia)"},         {0x140A, "Spanish (Costa Rica)"},
    {0x1C0A, "Spanish (Dominican Republic)"}, {0x300A, "Spanish (Ecuador)"},
    {0x440A, "Spanish (El Salvador)"},      {0x100A, "Spanish (Guatemala)"},
    {0x480A, "Spanish (Honduras)"},         {0x080A, "Spanish (Mexico)"},
    {0x4C0A, "Spanish (Nicaragua)"},        {0x180A, "Spanish (Panama)"},
    {0x3C0A, "Spanish (Paraguay)"},         {0x280A, "Spanish (Peru)"},
    {0x500A, "Spanish (Puerto Rico)"},      {0x0C0A, "Spanish (Spain)"},
    {0x040A, "Spanish (Spain, Traditional Sort)"}, {0x540A, "Spanish (United States)"},
    {0x380A, "Spanish (Uruguay)"},          {0x200A, "Spanish (Venezuela)"},
    {0x081D, "Swedish (Finland)"},          {0x041D, "Swedish (Sweden)"},
    {0x045A, "Syriac (Syria)"},             {0x0428, "Tajik (Cyrillic, Tajikistan)"},
    {0x0449, "Tamil (India)"},              {0x0444, "Tatar (Russia)"},
    {0x044A, "Telugu (India)"},             {0x041E, "Thai (Thailand)"},
    {0x0451, "Tibetan (China)"},            {0x041F, "Turkish (Turkey)"},
    {0x0442, "Turkmen (Turkmenistan)"},     {0x0422, "Ukrainian (Ukraine)"},
    {0x042E, "Upper Sorbian (Germany)"},    {0x0420, "Urdu (Pakistan)"},
    {0x0480, "Uyghur (China)"},             {0x0843, "Uzbek (Cyrillic, Uzbekistan)"},
    {0x0443, "Uzbek (Latin, Uzbekistan)"},  {0x042A, "Vietnamese (Vietnam)"},
    {0x0452, "Welsh (United Kingdom)"},     {0x0488, "Wolof (Senegal)"},
    {0x0485, "Yakut (Russia)"},             {0x0478, "Yi (China)"},
    {0x046A, "Yoruba (Nigeria)"},
};

constexpr char kUnknownPrefix[] = "Language 0x";

}  // namespace

bool IsValidGroupName(std::string_view text) {
    if (text.empty() || text == "#") return false;
    if (text[0] != '#') return !IsGroupNameTooLong(text);
    std::uint32_t value = 0;
    for (const char c : text.substr(1)) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 32767) return false;
    }
    return value >= 1;
}

bool IsGroupNameTooLong(std::string_view text) {
    // Up to this many bytes of UTF-8 never make more units.
    return text.size() > kMaxResNameUnits && Utf8ToUtf16(text).size() > kMaxResNameUnits;
}

std::string CanonicalGroupName(std::string_view text) {
    std::string out(text);
    if (!out.empty() && out[0] == '#') {
        const auto digits = out.find_first_not_of('0', 1);
        if (digits != std::string::npos && digits > 1) out.erase(1, digits - 1);
        return out;
    }
    return Utf16ToUtf8(UpperCaseName(Utf8ToUtf16(out)));
}

std::span<const TLanguageName> LanguageTable() { return kLanguages; }

std::optional<std::string> LanguageName(std::uint16_t id) {
    for (const TLanguageName& l : kLanguages)
        if (l.Id == id) return std::string(l.Name);
    return std::nullopt;
}

std::optional<std::uint16_t> LanguageIdByName(std::string_view name) {
    for (const TLanguageName& l : kLanguages)
        if (name == l.Name) return l.Id;
    return std::nullopt;
}

std::string UnknownLanguageName(std::uint16_t id) {
    char buf[sizeof kUnknownPrefix + 4];
    std::snprintf(buf, sizeof buf, "%s%04x", kUnknownPrefix, id);
    return buf;
}

std::optional<std::uint16_t> UnknownLanguageId(std::string_view name) {
    constexpr std::size_t prefix = sizeof kUnknownPrefix - 1;
    if (name.size() != prefix + 4 || name.substr(0, prefix) != kUnknownPrefix) return std::nullopt;
    std::uint32_t id = 0;
    for (const char c : name.substr(prefix)) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return std::nullopt;
        id = id * 16 + static_cast<std::uint32_t>(d);
    }
    return static_cast<std::uint16_t>(id);
}

}  // namespace velto
