#pragma once
// Starts the thread that feeds a port's device. On POSIX it takes none of the
// process's signals: they belong to the program (a front end may wait for
// Ctrl-C on a thread of its own, with the signals blocked everywhere else),
// never to the port's pump. Windows delivers console events on a thread of
// their own, so there the thread is a plain one.

#include <functional>
#include <thread>

std::thread StartPumpThread(std::function<void()> body);
