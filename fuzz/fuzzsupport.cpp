#include "fuzz/fuzzsupport.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/host/gui.h"
#include "runtime/host/host.h"
#include "runtime/host/linguist.h"
#include "runtime/host/registry.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/stgy.h"

#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

extern "C" int __plugin_init(char* buffer);

namespace kvfuzz {

const std::vector<std::string> kTagNames = {
    "Level", "Count", "Mode", "Unset", "Inf", "NaN", "Zero", "Empty", "Max", "Tiny",
};

const std::vector<VersionChoice> kVersionChoices = {
    {false, 0, 0, 0, 0}, {true, 4, 0, 0, 0},    {true, 3, 2, 5, 1841},  {true, 3, 2, 5, 1840},
    {true, 3, 2, 6, 0},  {true, 2, 9, 9, 9999}, {true, -1, -1, -1, -1}, {true, 3, 1, 9, 9999},
};

void finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

void startQt() {
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "kestro-fuzz";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv); // lives as long as the process
    }();
    (void)app;
}

void resetPopulatedHost() {
    kestro::resetHost();
    kestro::Rtdb& db = kestro::Rtdb::instance();
    using kestro::VarType;
    const VarType types[] = {VarType::Float, VarType::Int,   VarType::String, VarType::Int,
                             VarType::Float, VarType::Float, VarType::Int,    VarType::String,
                             VarType::Int,   VarType::Float};
    for (size_t i = 0; i < kTagNames.size(); ++i) {
        db.define(kTagNames[i], types[i]);
    }
    db.setFloat(0, 47.5);
    db.setInt(1, 3);
    db.setString(2, "12.5 bar");
    // 3 stays without a value.
    db.setFloat(4, std::numeric_limits<double>::infinity());
    db.setFloat(5, std::nan(""));
    db.setInt(6, 0);
    db.setString(7, "");
    db.setInt(8, std::numeric_limits<int32_t>::max());
    db.setFloat(9, 1e-300);
    db.clearWrites();

    kestro::Linguist& texts = kestro::Linguist::instance();
    texts.setText("en", "prompt", "Level");
    texts.setText("en", "log", "Pump switched");
    texts.setCurrentLanguage("en");

    kestro::Strategies::instance().define(1, "Start",
                                          [] { kestro::Rtdb::instance().setInt(1, 1); });
    kestro::Strategies::instance().define(2, "Toggle", [] {
        int value = 0;
        kestro::Rtdb::instance().getInt(6, &value);
        kestro::Rtdb::instance().setInt(6, value == 0 ? 1 : 0);
    });
}

const std::vector<rtti::clazz_c*>& moduleClasses() {
    static const std::vector<rtti::clazz_c*> classes = [] {
        char identifier[256] = {};
        __plugin_init(identifier);
        return kestro::ClassRegistry::instance().classes();
    }();
    return classes;
}

void applyVersion(const VersionChoice& choice) {
    kestro::Gui& gui = kestro::Gui::instance();
    if (!choice.set) {
        gui.clearProjectVersion();
        return;
    }
    kestro::ProjectVersion version;
    version.major = choice.major;
    version.minor = choice.minor;
    version.build = choice.build;
    version.revision = choice.revision;
    version.text = "fuzz";
    gui.setProjectVersion(version);
}

uint8_t versionIndexFor(int major, int minor, int build, int revision) {
    for (size_t i = 1; i < kVersionChoices.size(); ++i) {
        const VersionChoice& c = kVersionChoices[i];
        if (c.major == major && c.minor == minor && c.build == build && c.revision == revision) {
            return static_cast<uint8_t>(i);
        }
    }
    return 0;
}

} // namespace kvfuzz
