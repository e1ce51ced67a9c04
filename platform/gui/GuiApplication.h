// The GUI application object and the loop integration: Qt runs inside our message loop's waits.
// Threading: user-interface thread only (the thread that first calls EnsureGuiApplication).
#pragma once

// Creates the Qt application object when none exists yet (start-up may have made its own).
void EnsureGuiApplication();

// Makes the calling thread's message waits run Qt's event loop (input, painting, Qt timers), so
// our queues and Qt's events are served by one loop; a post from another thread wakes it.
// Nested loops (modal dialogs, menus) keep working: each wait processes Qt events re-entrantly.
void InstallQtPump();
