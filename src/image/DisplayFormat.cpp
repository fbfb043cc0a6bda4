#include "image/DisplayFormat.h"

#include <cstdio>

namespace kv::fmt {

namespace {

template <typename T>
std::string Format(const char* format, T value) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    return n < 0 ? std::string() : std::string(buffer);
}

} // namespace

std::string SignedDb(double db) {
    return Format("%+-.1fdB", db);
}
std::string Hz(double hz) {
    return Format("%.0fHz", hz);
}
std::string HzInt(int hz) {
    return Format("%dHz", hz);
}
std::string Q(double q) {
    return Format("%.2f", q);
}
std::string DelayMs(double ms) {
    return Format("%.1fms", ms);
}
std::string MsInt(int ms) {
    return Format("%dms", ms);
}
std::string Ms(double ms) {
    return Format("%.0fms", ms);
}
std::string Ratio(double ratio) {
    return Format("%.1f:1", ratio);
}
std::string Db(double db) {
    return Format("%.0fdB", db);
}
std::string DbInt(int db) {
    return Format("%ddB", db);
}
std::string Db1(double db) {
    return Format("%.1fdB", db);
}
std::string Percent(int percent) {
    return Format("%d%%", percent);
}
std::string SignedMetres(double metres) {
    return Format("%+-.1fm", metres);
}
std::string MetresInt(int metres) {
    return Format("%dm", metres);
}
std::string Int(int value) {
    return Format("%d", value);
}

double ReverbTimeMs(double step) {
    return step * 49.6 + 40.0;
}

} // namespace kv::fmt
