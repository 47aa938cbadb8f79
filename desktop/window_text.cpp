#include "desktop/window_text.h"

#include <QStringList>

#include <algorithm>

#include "core/strings.h"
#include "core/text_format.h"

namespace ferolin {

QString LoadQString(int id) { return QString::fromUtf8(LoadString(id)); }

std::string FixedText(double value, int precision) {
    std::string text;
    AppendFixed(text, value, precision);
    return text;
}

std::string IntText(int64_t value, int width) {
    TextBuffer buffer;
    AppendInt(buffer, value, width);
    return std::string(buffer.View());
}

QString QtFileFilter(std::string_view filter) {
    QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        if (description.isEmpty()) break;
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(open).trimmed();
        filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

std::string FormatTemplate(std::string_view pattern, const TemplateArgument* arguments,
                           std::size_t count) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        std::size_t j = i + 1;
        if (pattern[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        // Optional argument number "N$".
        std::size_t k = j;
        int number = 0;
        while (k < pattern.size() && pattern[k] >= '0' && pattern[k] <= '9')
            number = number * 10 + (pattern[k++] - '0');
        std::size_t index = next;
        if (k < pattern.size() && pattern[k] == '$' && number > 0) {
            index = static_cast<std::size_t>(number - 1);
            j = k + 1;
        }
        int width = 0;
        int precision = 6;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9')
            width = width * 10 + (pattern[j++] - '0');
        if (j < pattern.size() && pattern[j] == '.') {
            precision = 0;
            ++j;
            while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9')
                precision = precision * 10 + (pattern[j++] - '0');
            if (precision > 17) precision = 17;
        }
        if (j >= pattern.size()) {
            out.append(pattern.substr(i));
            break;
        }
        const char conversion = pattern[j];
        if (conversion != 'd' && conversion != 'f' && conversion != 's') {
            out.append(pattern.substr(i, j - i + 1));
            i = j;
            continue;
        }
        if (index < count) {
            const TemplateArgument& a = arguments[index];
            if (conversion == 'd')
                out += IntText(a.kind == TemplateArgument::kInt ? a.integer : 0, width);
            else if (conversion == 'f')
                out += FixedText(a.kind == TemplateArgument::kReal ? a.real : 0, precision);
            else if (a.kind == TemplateArgument::kText)
                out.append(a.text);
        }
        next = index + 1;
        i = j;
    }
    return out;
}

}  // namespace ferolin
