// Helpers of the window: string-table entries as QStrings, numbers formatted
// without the locale, the file dialogs' filters in Qt's form, web-address
// templates and window placement.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace ferolin {

// A string-table entry (UTF-8) as a QString.
QString LoadQString(int id);

inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "%.<precision>f" and "%0<width>d" with a point as the decimal separator.
std::string FixedText(double value, int precision);
std::string IntText(int64_t value, int width = 0);

// A filter of the string table ("Desc (*.a, *.b)|*.a;*.b|...|") as the list
// Qt's file dialogs take ("Desc (*.a *.b);;..."): the patterns after each
// description replace the parenthesised part of the description, since Qt
// matches the names against that part. "*.*" becomes "*" so that files
// without an extension are listed too.
QString QtFileFilter(std::string_view filter);

// Formats a web-address template of the string table: "%d", "%0<w>d", "%f",
// "%.<p>f" and "%s", each optionally numbered ("%2$f") to take the arguments
// in another order; "%%" is a percent sign. Numbers never follow the locale.
struct TemplateArgument {
    enum Kind { kInt, kReal, kText } kind;
    int64_t integer = 0;
    double real = 0;
    std::string_view text;
    static TemplateArgument Int(int64_t v) { return {kInt, v, 0, {}}; }
    static TemplateArgument Real(double v) { return {kReal, 0, v, {}}; }
    static TemplateArgument Text(std::string_view v) { return {kText, 0, 0, v}; }
};
std::string FormatTemplate(std::string_view pattern, const TemplateArgument* arguments,
                           std::size_t count);

}  // namespace ferolin
