#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QLocale;
class QWidget;

namespace kv {

/// Language index: 0 Chinese, 1 English.
inline constexpr int kChinese = 0;
inline constexpr int kEnglish = 1;

/// The language index in force for the whole process.
int LanguageIndex();
void SetLanguageIndex(int index);

/// The language a first start takes from a locale: Chinese when the locale's first user
/// interface language is Chinese, English for any other.
int LanguageForLocale(const QLocale& locale);

/// The member of a (Chinese, English) text pair chosen by the language index.
QString Tr(const char* chinese, const char* english);
/// The same for an explicit language index.
QString TrFor(int language, const char* chinese, const char* english);

/// The window texts of one language: section "[String]" of an INI text, keys
/// "IDD<dialog>_title" and "IDD<dialog>_<control>".
class LanguageTable {
public:
    /// Parses UTF-8 INI text. Lines beginning with "//" and lines outside "[String]" are
    /// ignored. Returns the number of keys read.
    int Parse(const QByteArray& text);
    /// Loads the embedded table of a language. Returns false when the resource is missing.
    bool LoadResource(int language);
    /// The text of a key, at most 499 characters; empty when the table lacks it.
    QString Text(const QString& key) const;
    QString Title(int dialog) const;
    QString ControlText(int dialog, int control) const;
    int Size() const { return static_cast<int>(m_texts.size()); }
    /// Every key read, in upper case as they are looked up.
    QStringList Keys() const { return m_texts.keys(); }

private:
    QHash<QString, QString> m_texts;
};

/// The table of the current language (loaded by ApplyLanguageTable).
const LanguageTable& CurrentLanguageTable();
/// Loads the table of the current language. Returns false when its resource is missing;
/// the previous table then stays in force.
bool LoadCurrentLanguageTable();

/// Gives a widget the control number the language tables address it by.
void SetControlId(QWidget* widget, int id);
/// The control number of a widget, or 0.
int ControlId(const QWidget* widget);
/// The first descendant of root carrying that control number, or nullptr.
QWidget* FindControl(const QWidget* root, int id);
/// Writes text into a widget as its visible text: the title of a window or group box, the
/// text of a label, button or line edit.
void SetControlText(QWidget* widget, const QString& text);

/// Writes the current table's texts into a window and its numbered child controls. A key
/// the table lacks, or an empty text, leaves the widget's text alone.
void ApplyLanguageTexts(QWidget* window, int dialog);

} // namespace kv
