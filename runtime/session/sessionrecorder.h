// What the objects of a session asked of the host, and what went wrong in them. The host
// services keep their own records (windows, captures, stops, operation log, keyboards,
// strategies, database writes, monitor and log records); the recorder adds the session's own
// (faults, capture files, which writes were the simulation's) and takes out the calls of any
// stretch of the session between a mark and now. Every record is bounded: what a reader is done
// with is forgotten (forgetBefore), and a record never keeps more than its limit, so that a
// session holds the same amount of records after an hour as after a month.
#pragma once

#include "runtime/host/gui.h"
#include "runtime/host/logger.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/stgy.h"
#include "runtime/session/expressionwatch.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kestro {

//! An exception that left an object's Run or Draw; the session carries on.
struct SessionFault {
    int window = 0;
    int index = 0;
    std::string name;
    std::string what; //!< "Run(0): ..." or "Draw: ..."
};

//! A screen capture asked for by an object.
struct CaptureFile {
    std::string path; //!< "" when the session saves no captures
    bool saved = false;
    std::string error;
};

//! Where the records stood at some moment.
struct CallMark {
    size_t opened = 0, closed = 0, captures = 0, stops = 0, operationLog = 0, keyboards = 0;
    size_t strategies = 0, writes = 0, monitor = 0, logs = 0, faults = 0, expressions = 0;
};

//! The host calls made between two moments.
struct HostCalls {
    std::vector<int> opened, closed;
    std::vector<ScreenCapture> captures;
    std::vector<CaptureFile> captureFiles; //!< one per capture
    std::vector<int> stops;
    std::vector<OperationLogEntry> operationLog;
    std::vector<KeyboardCall> keyboards;
    std::vector<StrategyRun> strategies;
    std::vector<RtdbWrite> writes; //!< without the simulation's own writes
    std::vector<MonitorRecord> monitor;
    std::vector<LogRecord> logs;
    std::vector<SessionFault> faults;
    std::vector<ExpressionChange> expressions;
    //! Entries of the stretch no longer kept: over a record's limit within one stretch.
    size_t dropped = 0;
};

class CallRecorder {
public:
    CallMark mark() const;
    HostCalls callsSince(const CallMark& mark) const;
    //! Forgets, in every record, what came before the mark.
    void forgetBefore(const CallMark& mark);
    //! The most entries each record keeps (RecordList::kDefaultLimit unless set).
    void setLimit(size_t limit);
    //! Entries of every record kept now, the session's and the host services' together.
    size_t kept() const;

    void addFault(SessionFault fault) { m_faults.push_back(std::move(fault)); }
    const RecordList<SessionFault>& faults() const { return m_faults; }

    ExpressionWatch& expressions() { return m_expressions; }
    const ExpressionWatch& expressions() const { return m_expressions; }

    //! The file of the next capture; captures and their files are counted alike.
    void addCaptureFile(CaptureFile file) { m_captureFiles.push_back(std::move(file)); }
    size_t captureFiles() const { return m_captureFiles.total(); }

    //! The positions [first, last) of the database's writes were the simulation's own: they are
    //! no host calls.
    void simulationWrote(size_t first, size_t last);

private:
    bool isSimulationWrite(size_t position) const;
    //! How many of the positions [first, last) were the simulation's.
    size_t simulationWritesIn(size_t first, size_t last) const;

    RecordList<SessionFault> m_faults;
    ExpressionWatch m_expressions;
    RecordList<CaptureFile> m_captureFiles;
    //! Adjacent ranges are merged, so there is one per stretch of simulated time.
    std::vector<std::pair<size_t, size_t>> m_simulationWrites;
};

} // namespace kestro
