// The measuring tools of kvlivebench and the table it prints. Everything that grows with the
// length of a run is sized before the run starts, so that the bench's own bookkeeping does not
// show in the resident memory it measures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvlive {

//! The steady clock (CLOCK_MONOTONIC) in microseconds and in seconds.
int64_t nowMicros();
double nowSeconds();

//! Latencies in buckets 1 % wide (1 µs to over an hour), the exact largest kept aside.
class LatencyHistogram {
public:
    LatencyHistogram();
    void add(int64_t micros);
    uint64_t count() const { return m_count; }
    //! The latency that `fraction` of the samples do not exceed (the bucket's upper edge), in
    //! microseconds; 0 without samples.
    double percentile(double fraction) const;
    int64_t max() const { return m_max; }

private:
    std::vector<uint64_t> m_buckets;
    uint64_t m_count = 0;
    int64_t m_max = 0;
};

//! The means of the first and the last quarter of a series (both the whole when it is short).
struct Quarters {
    double first = 0.0;
    double last = 0.0;
};
Quarters quarterMeans(const std::vector<double>& series);

//! Resident memory through a run: a sample at the start, one every `every` seconds and one at
//! the end. Memory is flat when the end is within `margin` MiB of the first sample taken at or
//! after the warm-up.
class MemoryTrack {
public:
    MemoryTrack(double every, double warmUp, double margin);
    //! Samples when the next one is due (always at the first call); `t` counts from the start.
    void poll(double t);
    void finish(double t);
    //! "41.2 (0 s), 41.5 (10 s), ..., 41.6 (end, 61.3 s)"
    std::string samples() const;
    double warm() const;
    double end() const;
    double warmAt() const;
    bool flat() const { return end() - warm() < m_margin; }
    double margin() const { return m_margin; }

private:
    struct Sample {
        double t;
        double mb;
    };
    size_t warmIndex() const;
    double m_every;
    double m_warmUp;
    double m_margin;
    double m_next = 0.0;
    std::vector<Sample> m_samples;
};

//! A table of figures in Markdown: figure, value, target, and whether it was met.
class Table {
public:
    explicit Table(std::string title) : m_title(std::move(title)) {}
    //! A figure without a target.
    void row(const std::string& figure, const std::string& value);
    //! A figure with a target, met or not.
    void row(const std::string& figure, const std::string& value, const std::string& target,
             bool met);
    void print() const;
    bool allMet() const { return m_allMet; }

private:
    struct Row {
        std::string figure, value, target, met;
    };
    std::string m_title;
    std::vector<Row> m_rows;
    bool m_allMet = true;
};

//! printf into a string.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
//! Milliseconds from microseconds, with a precision that suits their size ("0.42", "12.3", "2510").
std::string millis(double micros);

} // namespace kvlive
