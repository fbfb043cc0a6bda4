#include "controls/CPeakMeterCtrl.h"

#include <QPainter>

#include <algorithm>

namespace kv {

CPeakMeterCtrl::CPeakMeterCtrl(QWidget* parent)
    : QWidget(parent), m_background(palette().color(QPalette::Button)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CPeakMeterCtrl::TimerStep);
    ResetMeter();
}

QSize CPeakMeterCtrl::sizeHint() const {
    return {120, 10};
}

void CPeakMeterCtrl::ResetMeter() {
    m_bands.assign(std::size_t(std::max(m_bandCount, 0)), BandState{m_range, m_range, m_holdCount});
    update();
}

void CPeakMeterCtrl::SetData(std::span<const int> values, int firstBand) {
    const bool running = m_timerStarted;
    if (running) {
        m_timer.stop();
        m_timerStarted = false;
    }
    for (std::size_t k = 0; k < values.size(); ++k) {
        const long long b = (long long)(firstBand) + (long long)(k);
        if (b < 0 || b >= (long long)(m_bands.size())) {
            continue;
        }
        BandState& band = m_bands[std::size_t(b)];
        const int level = std::clamp(values[k], 0, m_range);
        if (band.peak < level) {
            band.peak = level;
            band.hold = m_holdCount;
        }
        band.level = level;
    }
    if (running) {
        m_timer.start(m_period);
        m_timerStarted = true;
    }
    update();
}

void CPeakMeterCtrl::StartTimer(int periodMs) {
    if (m_timerStarted) {
        return;
    }
    m_period = std::max(periodMs, 1);
    m_timer.start(m_period);
    m_timerStarted = true;
}

int CPeakMeterCtrl::EffectiveLeds() const {
    return m_ledCount > 1 ? m_ledCount : std::max(m_range * 10 / 100, 1);
}

void CPeakMeterCtrl::TimerStep() {
    update();
    const int step = m_ledCount > 0 ? m_range / m_ledCount : m_range;
    const int fall = m_ledCount > 1 ? step : m_range * 10 / 100;
    const int peakFall = m_ledCount > 1 ? (step >> 1) : 5;
    bool idle = true;
    for (BandState& b : m_bands) {
        if (b.level > 0) {
            b.level = std::max(b.level - fall, 0);
            idle = false;
        }
        bool peakFalls = b.hold == 0;
        if (b.hold > 0) {
            --b.hold;
            idle = false;
            peakFalls = b.hold == 0;
        }
        if (peakFalls && b.peak > 0) {
            b.peak = std::max(b.peak - peakFall, 0);
            idle = false;
        }
    }
    if (idle) {
        // The started flag stays set, so the next SetData starts the fall again.
        m_timer.stop();
    }
}

void CPeakMeterCtrl::SetBandCount(int n) {
    m_bandCount = std::max(n, 0);
    update();
}

void CPeakMeterCtrl::SetLedCount(int n) {
    m_ledCount = std::max(n, 0);
    update();
}

void CPeakMeterCtrl::SetRange(int range) {
    m_range = std::max(range, 1);
    update();
}

void CPeakMeterCtrl::SetZoneLimits(int low, int middle) {
    m_lowLimit = low;
    m_midLimit = middle;
    update();
}

void CPeakMeterCtrl::SetHoldCount(int n) {
    m_holdCount = std::max(n, 0);
}

void CPeakMeterCtrl::SetBackgroundColour(QColor c) {
    m_background = c;
    update();
}

void CPeakMeterCtrl::SetLitColours(QColor low, QColor middle, QColor high) {
    m_litLow = low;
    m_litMid = middle;
    m_litHigh = high;
    update();
}

void CPeakMeterCtrl::SetUnlitColours(QColor low, QColor middle, QColor high) {
    m_unlitLow = low;
    m_unlitMid = middle;
    m_unlitHigh = high;
    update();
}

int CPeakMeterCtrl::LitLeds(int band) const {
    if (band < 0 || band >= int(m_bands.size())) {
        return 0;
    }
    return EffectiveLeds() * m_bands[std::size_t(band)].level / m_range;
}

QColor CPeakMeterCtrl::LedColour(int band, int led) const {
    const int n = EffectiveLeds();
    const int a = n * m_lowLimit / m_range;
    const int m = n * m_midLimit / m_range;
    const bool lit = led < LitLeds(band);
    if (led < a) {
        return lit ? m_litLow : m_unlitLow;
    }
    if (led < m) {
        return lit ? m_litMid : m_unlitMid;
    }
    return lit ? m_litHigh : m_unlitHigh;
}

void CPeakMeterCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_background);
    const int bands = int(m_bands.size());
    if (bands == 0) {
        return;
    }
    const int n = EffectiveLeds();
    const int w = width() / n;
    const int h = height() / bands;
    const int gx = n > 1 ? 1 : 0;
    const int gy = bands > 1 ? 1 : 0;
    const int top = height() - bands * h;
    for (int b = 0; b < bands; ++b) {
        const int y = top + b * h;
        for (int i = 0; i < n; ++i) {
            const QRect led(QPoint(i * w + gx, y + gy), QPoint((i + 1) * w - 1, y + h - gy - 1));
            p.fillRect(led, LedColour(b, i));
        }
    }
}

} // namespace kv
