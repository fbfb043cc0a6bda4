#pragma once

#include "pages/ValueNote.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kv::test {

/// Collects the notes about typed values while it lives.
class ValueNotes {
public:
    ValueNotes() {
        SetValueNoteSink([this](const QString& text) { m_notes.append(text); });
    }
    ~ValueNotes() { SetValueNoteSink(nullptr); }
    ValueNotes(const ValueNotes&) = delete;
    ValueNotes& operator=(const ValueNotes&) = delete;

    /// The notes so far, and forgets them.
    QStringList Take() { return std::exchange(m_notes, {}); }
    /// Expects that one note since the last look (none when it is empty), and forgets them.
    void Expect(const char* note, const std::string& context) {
        const QStringList said = Take();
        if (*note) {
            EXPECT_EQ(said, QStringList{QString::fromUtf8(note)}) << context;
        } else {
            EXPECT_TRUE(said.isEmpty()) << context << ": " << said.join('|').toStdString();
        }
    }

private:
    QStringList m_notes;
};

} // namespace kv::test
