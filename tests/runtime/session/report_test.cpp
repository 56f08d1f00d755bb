// The JSON forms that `kestro run` prints: an object state and a load problem.
#include "runtime/session/report.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

using namespace kestro;

namespace {

QString compact(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

TEST(SessionReport, ObjectState) {
    ObjectState s;
    s.index = 3;
    s.name = "Tank";
    s.className = "CDrawRect";
    s.rect = {1, 2, 30, 40};
    s.showState = 1; // visible, in the hidden blink phase
    s.visible = true;
    s.pen = 1;
    s.penStyle = 0;
    s.penWidth = 2;
    s.penColor = 0x0000FF;
    s.brush = 0;
    s.brushStyle = 0;
    s.brushColor = 0xFFFFFF;
    s.text = "温度";
    s.changes = 4;
    EXPECT_EQ(compact(toJson(s)),
              "{\"class\":\"CDrawRect\",\"clip\":null,\"fill\":{\"color\":\"#ffffff\",\"on\":0,"
              "\"style\":0},\"index\":3,\"name\":\"Tank\",\"pen\":{\"color\":\"#0000ff\",\"on\":1,"
              "\"style\":0,\"width\":2},\"rect\":[1,2,30,40],\"show\":1,\"shown\":false,"
              "\"text\":\"温度\",\"visible\":true}");

    s.hasClipRect = true;
    s.clip = true;
    s.clipRect = {0, 0, 5, 6};
    ObjectState before = s;
    before.changes = 3;
    const QJsonObject o = toJson(s, &before);
    EXPECT_EQ(compact(o["clip"].toObject()), "{\"on\":true,\"rect\":[0,0,5,6]}");
    EXPECT_TRUE(o["changed"].toBool());
    before.changes = 4;
    EXPECT_FALSE(toJson(s, &before)["changed"].toBool());
}

TEST(SessionReport, LoadProblem) {
    LoadProblem p;
    p.window = 2;
    p.index = 5;
    p.classNumber = 0x5004;
    p.className = "CDrawRect";
    p.objectName = "Valve";
    p.reason = "the record did not load";
    p.monitor.push_back({10, 3, "m_arrayAnimate Serialize is fail", 1});
    EXPECT_EQ(p.text(), "window 2, object 6 (CDrawRect \"Valve\"): the record did not load; "
                        "monitor 3 \"m_arrayAnimate Serialize is fail\"");
    const QJsonObject o = toJson(p);
    EXPECT_EQ(o["classNumber"].toInt(), 0x5004);
    EXPECT_EQ(o["monitor"].toArray().size(), 1);
    EXPECT_TRUE(o["skipped"].toBool());

    LoadProblem unknown;
    unknown.classNumber = 0x5099;
    unknown.reason = "class 0x5099 is not registered";
    EXPECT_EQ(unknown.text(), "window 0, object 1 (0x5099): class 0x5099 is not registered");
}

} // namespace
