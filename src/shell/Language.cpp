#include "shell/Language.h"

#include "shell/ShellResources.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QWidget>

#include <atomic>

namespace kv {

namespace {

constexpr const char* kControlIdProperty = "kvControlId";
constexpr int kMaxTextLength = 499;

std::atomic<int> g_languageIndex{kChinese};

LanguageTable& MutableCurrentTable() {
    static LanguageTable table;
    return table;
}

QString ResourcePath(int language) {
    return language == kEnglish ? QStringLiteral(":/lang/lang_en.ini")
                                : QStringLiteral(":/lang/lang_zh.ini");
}

} // namespace

int LanguageIndex() {
    return g_languageIndex.load();
}

void SetLanguageIndex(int index) {
    g_languageIndex.store(index == kEnglish ? kEnglish : kChinese);
}

int LanguageForLocale(const QLocale& locale) {
    const QStringList languages = locale.uiLanguages();
    const QString first = languages.isEmpty() ? locale.name() : languages.constFirst();
    return first.startsWith(QLatin1String("zh"), Qt::CaseInsensitive) ? kChinese : kEnglish;
}

QString Tr(const char* chinese, const char* english) {
    return TrFor(LanguageIndex(), chinese, english);
}

QString TrFor(int language, const char* chinese, const char* english) {
    return QString::fromUtf8(language == kEnglish ? english : chinese);
}

int LanguageTable::Parse(const QByteArray& text) {
    m_texts.clear();
    bool inStrings = false;
    for (QByteArray raw : text.split('\n')) {
        if (raw.endsWith('\r')) {
            raw.chop(1);
        }
        // Only the line end and the indentation go: a text keeps its spaces, trailing ones
        // included ("By mode "), as the table writes it.
        QString line = QString::fromUtf8(raw);
        qsizetype start = 0;
        while (start < line.size() && line.at(start).isSpace()) {
            ++start;
        }
        line.remove(0, start);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1String("//")) ||
            line.startsWith(QLatin1Char(';'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('['))) {
            inStrings = line.trimmed().compare(QLatin1String("[String]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const auto eq = line.indexOf(QLatin1Char('='));
        if (!inStrings || eq <= 0) {
            continue;
        }
        // Keys are looked up without regard to case, as the INI reader does.
        m_texts.insert(line.left(eq).trimmed().toUpper(), line.mid(eq + 1));
    }
    return Size();
}

bool LanguageTable::LoadResource(int language) {
    InitShellResources();
    QFile file(ResourcePath(language));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    Parse(file.readAll());
    return true;
}

QString LanguageTable::Text(const QString& key) const {
    return m_texts.value(key.toUpper()).left(kMaxTextLength);
}

QString LanguageTable::Title(int dialog) const {
    return Text(QStringLiteral("IDD%1_title").arg(dialog));
}

QString LanguageTable::ControlText(int dialog, int control) const {
    return Text(QStringLiteral("IDD%1_%2").arg(dialog).arg(control));
}

const LanguageTable& CurrentLanguageTable() {
    return MutableCurrentTable();
}

bool LoadCurrentLanguageTable() {
    LanguageTable table;
    if (!table.LoadResource(LanguageIndex())) {
        return false;
    }
    MutableCurrentTable() = std::move(table);
    return true;
}

void SetControlId(QWidget* widget, int id) {
    widget->setProperty(kControlIdProperty, id);
}

int ControlId(const QWidget* widget) {
    return widget->property(kControlIdProperty).toInt();
}

QWidget* FindControl(const QWidget* root, int id) {
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (ControlId(child) == id) {
            return child;
        }
    }
    return nullptr;
}

void SetControlText(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (widget->isWindow()) {
        widget->setWindowTitle(text);
    }
}

void ApplyLanguageTexts(QWidget* window, int dialog) {
    const LanguageTable& table = CurrentLanguageTable();
    const QString title = table.Title(dialog);
    if (!title.isEmpty()) {
        window->setWindowTitle(title);
    }
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        const int id = ControlId(child);
        if (id == 0) {
            continue;
        }
        const QString text = table.ControlText(dialog, id);
        if (!text.isEmpty()) {
            SetControlText(child, text);
        }
    }
}

} // namespace kv
