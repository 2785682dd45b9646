#pragma once

// Real Phidget boards through libphidget22, the vendor's current library. It knows LED-64
// boards, interface kits, TextLCD and servo boards, each as channels (digital outputs, an
// LCD, RC servos); the old TextLED boards it does not know, so they never attach. Its manager
// reports every channel; the program groups them by serial number into one board, opens the
// channels it drives and raises one attach event once all of them are attached.

#include "phidget/library/LibraryBackend.h"
#include "phidget/library/Phidget22Api.h"

#include <memory>

namespace glimrow {

class Phidget22Backend final : public PhidgetLibraryBackend {
    Q_OBJECT

public:
    // Null, with `error` saying why, when the library cannot be loaded or lacks a function.
    static std::unique_ptr<Phidget22Backend> load(const QString& file, QString* error);
    ~Phidget22Backend() override;

    void open(PhidgetManager& manager) override;
    QString description() const override;
    bool sendsIdle() const override;

    struct Device;  // the open channels of one board
    struct Channel; // one of them, the context of its handlers

private:
    explicit Phidget22Backend(std::shared_ptr<const phidget22::Api> api);

    // What the manager tells of a channel's board, copied on the library's thread.
    struct Found {
        BoardInfo info;
        int deviceClass = 0;
        int channels = 0; // of the class the program drives on this board
    };

    // The library's handlers, on its threads: they copy what they need and post it here.
    static void onManagerAttach(phidget22::PhidgetManagerHandle, void* self,
                                phidget22::PhidgetHandle channel);
    static void onManagerDetach(phidget22::PhidgetManagerHandle, void* self,
                                phidget22::PhidgetHandle channel);
    static void onChannelAttach(phidget22::PhidgetHandle, void* channel);
    static void onChannelDetach(phidget22::PhidgetHandle, void* channel);
    static void onChannelError(phidget22::PhidgetHandle, void* channel, int code, const char* text);

    void boardFound(const Found& found);
    void channelAttached(int serial, int index, bool attached);

    std::shared_ptr<const phidget22::Api> m_api;
    phidget22::PhidgetManagerHandle m_managerHandle = nullptr;
    std::map<int, std::shared_ptr<Device>> m_devices; // boards opened for driving, by serial
};

} // namespace glimrow
