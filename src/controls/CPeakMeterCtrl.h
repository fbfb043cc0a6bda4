#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <span>
#include <vector>

namespace kv {

/// LED level meter: horizontal bars of LEDs in three colour zones. A new value shows at
/// once; a periodic timer then lets the bars fall one LED step per tick and stops itself
/// when every bar is empty. The fall runs on the user-interface thread, so the band
/// records need no lock.
class CPeakMeterCtrl : public QWidget {
    Q_OBJECT

public:
    /// One bar.
    struct BandState {
        int level = 0;
        int peak = 0;
        int hold = 0;
    };

    explicit CPeakMeterCtrl(QWidget* parent = nullptr);

    /// Sizes the band list to the band count and fills every bar to full scale.
    void ResetMeter();
    /// Bands firstBand, firstBand + 1, ... take the values, clamped to 0..range; bands at
    /// or beyond the band count are ignored.
    void SetData(std::span<const int> values, int firstBand = 0);
    /// Starts the fall timer with a period in ms when none was started yet.
    void StartTimer(int periodMs);
    /// One tick of the fall animation (what the timer runs).
    void TimerStep();

    void SetBandCount(int n);
    void SetLedCount(int n);
    void SetRange(int range);
    void SetZoneLimits(int low, int middle);
    void SetHoldCount(int n);
    void SetBackgroundColour(QColor c);
    void SetLitColours(QColor low, QColor middle, QColor high);
    void SetUnlitColours(QColor low, QColor middle, QColor high);

    int BandCount() const { return m_bandCount; }
    int LedCount() const { return m_ledCount; }
    int Range() const { return m_range; }
    int Period() const { return m_period; }
    /// True while the fall timer runs.
    bool TimerActive() const { return m_timer.isActive(); }
    /// True once a timer was started; the next SetData restarts it.
    bool TimerStarted() const { return m_timerStarted; }
    const std::vector<BandState>& Bands() const { return m_bands; }
    /// Number of lit LEDs a band shows.
    int LitLeds(int band) const;
    /// Colour of LED i of a band, as painted.
    QColor LedColour(int band, int led) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int EffectiveLeds() const;

    QColor m_background;
    QColor m_litLow{0, 255, 0};
    QColor m_litMid{255, 255, 0};
    QColor m_litHigh{255, 0, 0};
    QColor m_unlitLow{2, 60, 2};
    QColor m_unlitMid{60, 60, 2};
    QColor m_unlitHigh{60, 2, 2};
    int m_lowLimit = 40;
    int m_midLimit = 50;
    int m_range = 60;
    int m_bandCount = 8;
    int m_ledCount = 8;
    int m_holdCount = 10;
    int m_period = 10;
    bool m_timerStarted = false;
    QTimer m_timer;
    std::vector<BandState> m_bands;
};

} // namespace kv
