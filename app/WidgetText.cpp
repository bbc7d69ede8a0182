#include "app/WidgetText.h"

#include "text/Codepage.h"

QString fromCp936(const std::string& text) {
    const std::u16string units = cp936ToUtf16(text);
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

std::string toCp936(const QString& text) {
    return utf16ToCp936(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                            static_cast<std::size_t>(text.size())));
}

bool survivesCp936(const QString& text) {
    return fromCp936(toCp936(text)) == text;
}
