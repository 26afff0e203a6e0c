#include "printing/ui/qt_printer_device.h"

#include <QPrinter>

namespace spylerom::printing {

void QtPrinterDevice::setLandscape(bool landscape) {
    printer_.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

bool QtPrinterDevice::landscape() const {
    return printer_.pageLayout().orientation() == QPageLayout::Landscape;
}

std::int32_t QtPrinterDevice::horzRes() const {
    return printer_.width();
}

std::int32_t QtPrinterDevice::vertRes() const {
    return printer_.height();
}

} // namespace spylerom::printing
