#pragma once
// What "tovasen-cmd --help" prints. The README's scripting section says the same; a test
// compares the two.

namespace tovasen {

inline constexpr wchar_t kTovasenCmdHelp[] =
    L"usage: tovasen-cmd [--timeout SECONDS] [--utf8] COMMAND\n"
    L"       tovasen-cmd --help | --version\n"
    L"\n"
    L"Sends one command to the running Tovasen.\n"
    L"\n"
    L"  capture [--delay N] [--mode NAME]  takes a capture with Tovasen's current settings and\n"
    L"           waits until it is done. Prints the full path of the file it wrote (an empty line\n"
    L"           for targets that write no file: clipboard, printer, floating window, colour pick).\n"
    L"           With the target MP4 it starts a recording and prints the file being\n"
    L"           written, or stops the running one and prints the file once it is complete.\n"
    L"           The target GIF (animated) records the same way into an MP4, which becomes\n"
    L"           a GIF beside it at the stop: the stop prints the GIF once it is converted\n"
    L"           (a long recording takes a while: raise --timeout).\n"
    L"           --delay N counts down N seconds first (1 to 60); Esc cancels the countdown.\n"
    L"           --mode NAME captures once in that mode instead of the one the main window\n"
    L"           shows, which stays chosen: full-screen, region (the region frame's place, open\n"
    L"           or not), drag, active-window, window-control (the window under the mouse),\n"
    L"           web (needs the web page window open), color or scrolling.\n"
    L"  edit FILE    opens a PNG, JPG, BMP, GIF or WebP file in the editor and waits until the\n"
    L"           editor is closed; prints the path when it was saved, fails when it was not.\n"
    L"  history [--limit N | --clear]  prints the last N captures (default 20), newest first,\n"
    L"           one a line: time (ISO 8601, local with its offset), target, path and window\n"
    L"           title, separated by tabs. --clear erases the whole history without asking\n"
    L"           and prints how many entries went.\n"
    L"  record pause   pauses the running recording and prints its file once the part\n"
    L"                 recorded so far is finished. Nothing to pause is an error.\n"
    L"  record resume  resumes a paused recording and prints its file once it records again;\n"
    L"                 the paused time is not in the file. Not paused is an error, and so\n"
    L"                 is a recording that ended (a stop, the length limit) before either\n"
    L"                 was done.\n"
    L"  about    opens the about page; prints 1 when it was taken.\n"
    L"\n"
    L"  On failure the error text goes to standard error; a notice that goes with a success\n"
    L"  (a scrolling capture that stopped at the largest picture) too.\n"
    L"\n"
    L"  --timeout SECONDS  how long to wait for Tovasen (default 120; edit waits without limit).\n"
    L"  --utf8             write UTF-8 when the output is redirected (to a file, a pipe or\n"
    L"                     a for /f loop); otherwise the console's code page is used.\n"
    L"\n"
    L"Exit codes:\n"
    L"  0   done\n"
    L"  1   refused, failed or cancelled (the reason is printed)\n"
    L"  2   Tovasen is not running\n"
    L"  3   Tovasen did not answer in time (it may hang) or ended before it answered\n"
    L"  64  usage error\n";

}  // namespace tovasen
