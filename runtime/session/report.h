// JSON forms of what a session shows: object states, host calls, load problems and paint
// traces. `kestro run` and `kestro trace` print them; docs/kestro.md describes the fields.
#pragma once

#include "runtime/session/session.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace kestro {

//! "#rrggbb" of a 0x00RRGGBB colour.
QString colorName(uint32_t rgb);

//! previous: the state of the same object at the last report, for "changed"; null: not known.
QJsonObject toJson(const ObjectState& state, const ObjectState* previous = nullptr);
QJsonObject toJson(const LoadProblem& problem);
QJsonObject toJson(const SessionFault& fault);
//! The session names the objects of the operation log.
QJsonObject toJson(const HostCalls& calls, const Session& session);
QJsonObject toJson(const Session::Trace& trace);

} // namespace kestro
