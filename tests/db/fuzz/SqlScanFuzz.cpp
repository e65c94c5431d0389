// Feeds arbitrary SQL texts to the scans that run before a text reaches the
// server: statement kinds, parameter markers and the count rewrite.
#include "SqlText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    (void)db::sql::ClassifyStatement(text);
    if (db::sql::HasParameterMarkers(text)) {
        try {
            const db::sql::ParameterScan scan = db::sql::ScanParameters(text);
            // Every marker becomes one character: the text never grows.
            if (scan.textToSend.size() > text.size())
                __builtin_trap();
        } catch (const db::sql::SqlScanError &) {
            // An unclosed comment or string is an expected answer.
        }
    }
    const std::string count = db::sql::CountRewrite(text);
    if (!count.empty() && count.rfind("Select Count(*) ", 0) != 0)
        __builtin_trap();
    return 0;
}
