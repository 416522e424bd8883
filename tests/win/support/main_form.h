#pragma once
// The main window in this test's process, as the window tests need it: the program's own
// translation table, settings that start from an empty key (Korean, no capture sound) and a
// form made the way the program makes it. A test adds its own settings after SetUp.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/frm_tovasen.h"
#include "base/config.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "support/process.h"
#include "support/wait.h"
#include "support/program_test.h"
#include "ui/application.h"

namespace tovasen::test {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A program another test left behind would hold the capture key, and the form would wait
        // on a box asking for another key.
        ASSERT_TRUE(NoProgramLeft()) << "a Tovasen.exe is still running";
        UseProgramTranslations();
        ASSERT_TRUE(ClearSettings());
        TConfig config;
        config.WriteString(L"language", L"ko");
        config.WriteInteger(L"sound", 1);
    }
    void TearDown() override {
        form = nullptr;
        app.reset();
        TranslationTable.clear();
        EXPECT_TRUE(ClearSettings());
    }
    // beforeStart runs between the constructor and the start-up sequence: where a test points
    // the form's services at its own servers.
    void CreateForm(const std::function<void(TFrmTovasen& form)>& beforeStart = {}) {
        app = std::make_unique<TApplication>();
        app->Initialize();
        form = new TFrmTovasen(app.get(), L"");
        app->SetMainForm(form);
        if (beforeStart) beforeStart(*form);
        form->FormCreate();
    }
    // What a user's choice in a list does: select, then the notification the control sends.
    void Choose(TComboBox* box, int index) {
        box->SetItemIndex(index);
        SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box->Handle()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box->Handle()));
    }

    // A capture as the hotkey asks for it, until its outcome: files are written on a worker.
    void CaptureAndWait() {
        form->Start();
        ASSERT_TRUE(test::WaitUntil([&] { return form->Controller().State() == TControllerState::Idle; }));
    }

    std::unique_ptr<TApplication> app;
    TFrmTovasen* form = nullptr;
};

}  // namespace tovasen::test
