#pragma once

// The functions a test calls on either fake Phidget library, beside the vendor's functions.
// Boards are plugged in by type text ("PhidgetLED", "PhidgetInterfaceKit", "PhidgetTextLCD",
// "PhidgetTextLED", "PhidgetServo", or any other); every event is raised on the library's own
// thread.

#define FAKE_EXPORT __attribute__((visibility("default")))

extern "C" {
FAKE_EXPORT void FakePhidget_plug(const char* type, int serial, int version);
FAKE_EXPORT void FakePhidget_unplug(int serial);
// The board's error event, with the library's code and text.
FAKE_EXPORT void FakePhidget_error(int serial, int code, const char* text);
// Makes every call of the named function fail from now on; null or "" for none.
FAKE_EXPORT void FakePhidget_fail(const char* function);
// The calls that reached a board since the last take, one per line: "name serial args".
FAKE_EXPORT const char* FakePhidget_takeCalls();
// Waits until every event raised so far has been delivered to the handlers.
FAKE_EXPORT void FakePhidget_settle();
// Unplugs and forgets every board, and stops failing.
FAKE_EXPORT void FakePhidget_reset();
}
