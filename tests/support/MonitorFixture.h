#pragma once

#include "FakeClock.h"
#include "FakeEcho.h"
#include "FakeResolver.h"
#include "Forms.h"
#include "RecordingShell.h"
#include "RecordingSound.h"
#include "ScriptedFileDialogs.h"
#include "ScriptedMessageBoxes.h"
#include "TApplication.h"
#include "logform/TLogForm.h"
#include "mainform/TMainForm.h"
#include "outages/TOutagesForm.h"
#include "ping/TPing.h"
#include "warnform/TfrmWarn.h"

#include <QComboBox>
#include <QTemporaryDir>

#include <memory>

// The program's three windows on fakes: a scripted echo transport and
// resolver, a fake clock, recording sound and shell, scripted message boxes
// and file dialogs, and a temporary program folder.
struct MonitorFixture {
    FakeClock clock;
    RecordingSound sound;
    RecordingShell shell;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs fileDialogs;
    QTemporaryDir folder;
    FakeEcho* echo = nullptr;
    FakeLookup* lookup = nullptr;
    std::shared_ptr<FakeResolver> resolver = std::make_shared<FakeResolver>();
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TLogForm> logForm;
    std::unique_ptr<TfrmWarn> warn;
    std::unique_ptr<TOutagesForm> outages;
    // The system's ICMP socket and resolver instead of the fakes.
    bool makeRealPing = false;
    // An installed program's folders for the settings and the log; the
    // program folder when empty.
    QString settingsDirectory;
    QString dataDirectory;

    // Creates the windows in the program's start-up order.
    void create(RegionalSettings regional = {}) {
        TApplication::SetMessageBoxes(&boxes);
        MainFormServices services;
        services.clock = &clock;
        services.sound = &sound;
        services.shell = &shell;
        services.boxes = &boxes;
        services.programDirectory = folder.path() + u'/';
        services.settingsDirectory = settingsDirectory;
        services.dataDirectory = dataDirectory;
        services.regional = regional;
        if (!makeRealPing)
            services.makePing = [this](QObject* owner) {
                auto transport = std::make_unique<FakeEcho>();
                echo = transport.get();
                auto icmp = std::make_unique<TICMP>(std::move(transport), resolver);
                auto fakeLookup = std::make_unique<FakeLookup>();
                lookup = fakeLookup.get();
                return new TPing(owner, std::move(icmp), std::move(fakeLookup));
            };
        main = std::make_unique<TMainForm>(services);
        MainForm = main.get();
        logForm = std::make_unique<TLogForm>(main.get(), main->Engine, &sound, &fileDialogs);
        LogForm = logForm.get();
        warn = std::make_unique<TfrmWarn>();
        frmWarn = warn.get();
        outages = std::make_unique<TOutagesForm>(nullptr, &fileDialogs);
        OutagesForm = outages.get();
        ConnectForms(main.get(), logForm.get(), warn.get(), outages.get());
    }

    // Types `host` into the address box, leaves it and presses Start.
    void startWatching(const QString& host) {
        main->cbConnectTo->setEditText(host);
        main->cbConnectToExit();
        main->StartButtonClick();
    }

    ~MonitorFixture() {
        outages.reset();
        OutagesForm = nullptr;
        warn.reset();
        logForm.reset();
        main.reset();
        frmWarn = nullptr;
        LogForm = nullptr;
        MainForm = nullptr;
        TApplication::SetMessageBoxes(nullptr);
    }
};
