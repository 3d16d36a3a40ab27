#pragma once
// The tool's messages in the user's language. They are written bilingually ("中文 / English")
// or, when they come from the vendor cores, in Chinese; under a Chinese locale they stay as
// written, under any other they are worded in English.
#include <string>
#include <string_view>

// From LANGUAGE, LC_ALL, LC_MESSAGES and LANG, as gettext reads them: the first one set
// decides; none set is the C locale, which is not Chinese.
bool speaksChinese();

// A UTF-8 message in English: the Chinese half of each bilingual piece dropped, the cores'
// Chinese messages worded from a table. Text it does not know stays as it is.
std::string englishUtf8(std::string_view utf8);
