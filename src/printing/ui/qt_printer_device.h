// The page layout's view of a QPrinter: orientation and the printable area in printer pixels.
#pragma once

#include "printing/page_state.h"

class QPrinter;

namespace spylerom::printing {

class QtPrinterDevice : public PrinterDevice {
public:
    explicit QtPrinterDevice(QPrinter& printer) : printer_(printer) {}

    void setLandscape(bool landscape) override;
    bool landscape() const override;
    std::int32_t horzRes() const override; // QPrinter's width: the printable area, device pixels
    std::int32_t vertRes() const override;

private:
    QPrinter& printer_;
};

} // namespace spylerom::printing
