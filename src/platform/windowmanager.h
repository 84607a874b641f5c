#pragma once
// Whether a window manager runs on the display the program uses. Without one
// nobody can bring a window forward or close it through a frame, and a
// window that waits for a click may wait for ever (offscreen, a bare X
// server started for screenshots).
namespace platform {

bool hasWindowManager();

}  // namespace platform
