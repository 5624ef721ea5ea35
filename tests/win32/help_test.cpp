// Help in the Windows program: "F1 Ayuda" and F1 on a control open HTML Help's window on
// ITACA.chm beside the program.
#include "win32_testing.h"

namespace tc::win32::testing {
namespace {

const desktop::Form& kMain = desktop::MainForm();

using Help = ProgramTest;

TEST_F(Help, TheHelpButtonAndF1OpenHtmlHelp) {
  ASSERT_TRUE(fs::exists(program_dir_ / "ITACA.chm")) << "no ITACA.chm beside the program";
  auto program = Start();
  HWND window = drive::WaitForWindow(program->Id(), L"MForm");
  ASSERT_NE(window, nullptr);

  drive::Click(Find(window, kMain, "Button1"));
  HWND help = drive::WaitForWindow(program->Id(), L"HH Parent", L"Ayuda de TransClepsaItaca");
  ASSERT_NE(help, nullptr) << "no HTML Help window for the contents";
  PostMessageW(help, WM_CLOSE, 0, 0);
  ASSERT_TRUE(drive::WaitGone(help));

  drive::PressKey(Find(window, kMain, "BExportar"), VK_F1);
  help = drive::WaitForWindow(program->Id(), L"HH Parent", L"Ayuda de TransClepsaItaca");
  EXPECT_NE(help, nullptr) << "no HTML Help window for F1";

  drive::Click(Find(window, kMain, "BClose"));
  EXPECT_EQ(program->Wait(), 0);
  EXPECT_FALSE(drive::FindWindowOf(program->Id(), L"HH Parent"));
}

}  // namespace
}  // namespace tc::win32::testing
