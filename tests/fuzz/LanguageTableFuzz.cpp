// The language-table reader over any text: every key it keeps can be looked up, no text is
// longer than a window may show, and a table written back as INI text reads back the same.

#include "FuzzSupport.h"
#include "shell/Language.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kv::LanguageTable;
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<int>(size));
    LanguageTable table;
    const int count = table.Parse(text);
    const QStringList keys = table.Keys();
    FUZZ_CHECK(count == table.Size() && count == keys.size());

    // Texts cut at the limit may end in a space or half a surrogate pair; only whole
    // texts are written back.
    QByteArray written = "[String]\r\n";
    QStringList whole;
    for (const QString& key : keys) {
        FUZZ_CHECK(!key.isEmpty() && !key.contains(QLatin1Char('=')));
        const QString value = table.Text(key);
        FUZZ_CHECK(value.size() <= 499);
        if (value.size() < 499) {
            written += key.toUtf8() + '=' + value.toUtf8() + "\r\n";
            whole << key;
        }
    }
    LanguageTable again;
    FUZZ_CHECK(again.Parse(written) == whole.size());
    for (const QString& key : whole) {
        FUZZ_CHECK(again.Text(key) == table.Text(key));
    }
    return 0;
}
