#pragma once

#include <QLabel>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

namespace kv {

class CCompressPanelPlus;
class CDelayPanel;
class CEqPanel;
class CGdipButton;
class CPeakMeterCtrl;
class CSmallEqPanel;
class CTabWnd;
class CXBmpSlider;

/// Window that shows every graphic control with sample data on three pages, in Chinese
/// or English, and writes screenshots of them.
class GalleryWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPageCount = 3;

    explicit GalleryWindow(QWidget* parent = nullptr);

    /// 0 Chinese, 1 English.
    void SetLanguage(int language);
    int Language() const { return m_language; }
    void ShowPage(int page);
    /// Saves every page in both languages as PNG files in a folder; false on a write error.
    bool SaveScreenshots(const QString& folder);

private:
    QWidget* BuildEqPage();
    QWidget* BuildControlsPage();
    QWidget* BuildDynamicsPage();
    QLabel* AddLabel(QWidget* parent, const char* zh, const char* en, QRect geometry,
                     bool heading = false);
    void Log(const QString& zh, const QString& en);
    void FeedMeters();

    int m_language = 0;
    CTabWnd* m_tabs = nullptr;
    std::array<CGdipButton*, kPageCount> m_nav{};
    CGdipButton* m_languageButton = nullptr;
    std::vector<CEqPanel*> m_eqPanels;
    std::vector<CPeakMeterCtrl*> m_meters;
    CCompressPanelPlus* m_comp = nullptr;
    CDelayPanel* m_delay = nullptr;
    QLabel* m_log = nullptr;
    std::vector<std::function<void(int)>> m_retext; ///< re-applies texts for a language
    int m_tick = 0;
};

} // namespace kv
