#include "bench/live/figures.h"

#include "bench/live/process.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace kvlive {

int64_t nowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

namespace {

constexpr double kBucketGrowth = 1.01;
constexpr size_t kBuckets = 2400; // 1.01^2400 µs is far beyond any run

size_t bucketOf(int64_t micros) {
    if (micros < 1) {
        return 0;
    }
    const double index = std::floor(std::log(double(micros)) / std::log(kBucketGrowth)) + 1.0;
    return std::min(kBuckets - 1, size_t(index));
}

double upperEdge(size_t bucket) {
    return bucket == 0 ? 1.0 : std::pow(kBucketGrowth, double(bucket));
}

} // namespace

LatencyHistogram::LatencyHistogram() : m_buckets(kBuckets, 0) {}

void LatencyHistogram::add(int64_t micros) {
    micros = std::max<int64_t>(micros, 0);
    ++m_buckets[bucketOf(micros)];
    ++m_count;
    m_max = std::max(m_max, micros);
}

double LatencyHistogram::percentile(double fraction) const {
    if (m_count == 0) {
        return 0.0;
    }
    const double wanted = std::ceil(fraction * double(m_count));
    uint64_t seen = 0;
    for (size_t b = 0; b < m_buckets.size(); ++b) {
        seen += m_buckets[b];
        if (double(seen) >= wanted) {
            return std::min(upperEdge(b), double(m_max));
        }
    }
    return double(m_max);
}

Quarters quarterMeans(const std::vector<double>& series) {
    const auto mean = [](auto begin, auto end) {
        double sum = 0.0;
        size_t n = 0;
        for (auto it = begin; it != end; ++it, ++n) {
            sum += *it;
        }
        return n ? sum / double(n) : 0.0;
    };
    const size_t quarter = std::max<size_t>(1, series.size() / 4);
    if (series.size() < 4) {
        const double all = mean(series.begin(), series.end());
        return {all, all};
    }
    return {mean(series.begin(), series.begin() + std::ptrdiff_t(quarter)),
            mean(series.end() - std::ptrdiff_t(quarter), series.end())};
}

MemoryTrack::MemoryTrack(double every, double warmUp, double margin)
    : m_every(every), m_warmUp(warmUp), m_margin(margin) {
    m_samples.reserve(4096);
}

void MemoryTrack::poll(double t) {
    if (!m_samples.empty() && t < m_next) {
        return;
    }
    if (m_samples.size() < m_samples.capacity()) {
        m_samples.push_back({t, residentMb()});
    }
    m_next = (std::floor(t / m_every) + 1.0) * m_every;
}

void MemoryTrack::finish(double t) {
    if (!m_samples.empty() && m_samples.back().t >= t) {
        m_samples.pop_back(); // a sample just taken: the end replaces it
    }
    if (m_samples.size() < m_samples.capacity()) {
        m_samples.push_back({t, residentMb()});
    }
}

std::string MemoryTrack::samples() const {
    std::string text;
    for (size_t i = 0; i < m_samples.size(); ++i) {
        const Sample& s = m_samples[i];
        text += i + 1 < m_samples.size() || i == 0
                    ? format("%s%.1f (%.0f s)", text.empty() ? "" : ", ", s.mb, s.t)
                    : format(", %.1f (end, %.1f s)", s.mb, s.t);
    }
    return text;
}

size_t MemoryTrack::warmIndex() const {
    for (size_t i = 0; i < m_samples.size(); ++i) {
        if (m_samples[i].t >= m_warmUp) {
            return i;
        }
    }
    return m_samples.empty() ? 0 : m_samples.size() - 1;
}

double MemoryTrack::warm() const {
    return m_samples.empty() ? 0.0 : m_samples[warmIndex()].mb;
}

double MemoryTrack::warmAt() const {
    return m_samples.empty() ? 0.0 : m_samples[warmIndex()].t;
}

double MemoryTrack::end() const {
    return m_samples.empty() ? 0.0 : m_samples.back().mb;
}

void Table::row(const std::string& figure, const std::string& value) {
    m_rows.push_back({figure, value, "", ""});
}

void Table::row(const std::string& figure, const std::string& value, const std::string& target,
                bool met) {
    m_rows.push_back({figure, value, target, met ? "yes" : "**no**"});
    m_allMet = m_allMet && met;
}

void Table::print() const {
    std::printf("\n#### %s\n\n| figure | value | target | met |\n|---|---:|---|:---:|\n",
                m_title.c_str());
    for (const Row& r : m_rows) {
        std::printf("| %s | %s | %s | %s |\n", r.figure.c_str(), r.value.c_str(), r.target.c_str(),
                    r.met.c_str());
    }
    std::fflush(stdout);
}

std::string format(const char* pattern, ...) {
    char text[1024];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::string millis(double micros) {
    const double ms = micros / 1000.0;
    return ms < 1.0 ? format("%.2f", ms) : ms < 100.0 ? format("%.1f", ms) : format("%.0f", ms);
}

} // namespace kvlive
