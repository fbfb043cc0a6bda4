#include "pages/ValueNote.h"

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

ValueNoteSink& Sink() {
    static ValueNoteSink sink;
    return sink;
}

} // namespace

void SetValueNoteSink(ValueNoteSink sink) {
    Sink() = std::move(sink);
}

void NoteLimited(const QString& typed, const QString& kept, int language) {
    if (!Sink()) {
        return;
    }
    const QString text = language == 1 ? QStringLiteral("%1 is out of range: set to %2")
                                       : QStringLiteral("%1 超出范围，已设为 %2");
    Sink()(text.arg(typed, kept));
}

void NoteIfLimited(double asked, double kept, QString (*text)(double), int language) {
    if (std::isfinite(asked) && std::fabs(asked - kept) > 1e-4 * std::max(1.0, std::fabs(asked))) {
        NoteLimited(text(asked), text(kept), language);
    }
}

} // namespace kv
