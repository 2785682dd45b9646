#pragma once

// Real Phidget boards through libphidget21, which knows all five kinds the program drives.
// Its manager reports each board; the program opens a handle of the board's kind and raises
// the attach event once that handle is attached, so the starting settings reach the board.

#include "phidget/library/LibraryBackend.h"
#include "phidget/library/Phidget21Api.h"

#include <memory>

namespace glimrow {

class Phidget21Backend final : public PhidgetLibraryBackend {
    Q_OBJECT

public:
    // Null, with `error` saying why, when the library cannot be loaded or lacks a function.
    static std::unique_ptr<Phidget21Backend> load(const QString& file, QString* error);
    ~Phidget21Backend() override;

    void open(PhidgetManager& manager) override;
    QString description() const override;
    bool sendsIdle() const override;

    struct Device; // an open handle of one board

private:
    explicit Phidget21Backend(std::shared_ptr<const phidget21::Api> api);

    // The library's handlers, on its threads: they copy what they need and post it here.
    static int onManagerAttach(phidget21::CPhidgetHandle phid, void* self);
    static int onManagerDetach(phidget21::CPhidgetHandle phid, void* self);
    static int onManagerError(phidget21::CPhidgetManagerHandle, void* self, int code,
                              const char* text);
    static int onDeviceAttach(phidget21::CPhidgetHandle phid, void* device);
    static int onDeviceError(phidget21::CPhidgetHandle phid, void* device, int code,
                             const char* text);

    void boardFound(const BoardInfo& info);
    void deviceReady(int serial);

    std::shared_ptr<const phidget21::Api> m_api;
    phidget21::CPhidgetManagerHandle m_managerHandle = nullptr;
    std::map<int, std::shared_ptr<Device>> m_devices; // boards opened for driving, by serial
};

} // namespace glimrow
