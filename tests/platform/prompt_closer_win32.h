// Closes the window system's own prompt (a message box or Save As) that is up now, as a
// user pressing Cancel would. Standard types only: its half includes <windows.h>.
#pragma once

// True when a prompt was found and told to cancel.
bool CancelOpenPrompt();
