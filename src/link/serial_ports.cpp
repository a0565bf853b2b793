#include "link/serial_ports.h"

#include <algorithm>

namespace korvel {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameHexId(std::string_view a, std::string_view b) {
    return !a.empty() && a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Bus paths compared with their numbers as numbers: port 2 of a hub before port 10.
bool NaturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            std::string_view na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            while (na.size() > 1 && na[0] == '0') na.remove_prefix(1);
            while (nb.size() > 1 && nb[0] == '0') nb.remove_prefix(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

std::vector<TSerialPortInfo> FindUsbAdapters(const std::vector<TSerialPortInfo>& ports, std::string_view vendorId,
                                             std::string_view productId) {
    std::vector<TSerialPortInfo> out;
    for (const TSerialPortInfo& p : ports)
        if (SameHexId(p.VendorId, vendorId) && SameHexId(p.ProductId, productId)) out.push_back(p);
    std::stable_sort(out.begin(), out.end(), [](const TSerialPortInfo& a, const TSerialPortInfo& b) {
        if (a.UsbPath != b.UsbPath) return NaturalLess(a.UsbPath, b.UsbPath);
        return NaturalLess(a.DevicePath, b.DevicePath);
    });
    return out;
}

std::string DescribeUsbDevice(const TSerialPortInfo& port) {
    if (port.VendorId.empty() && port.ProductId.empty()) return {};
    std::string text = port.Product.empty() ? "USB " + port.VendorId + ":" + port.ProductId : port.Product;
    if (!port.Serial.empty()) text += ", serienummer " + port.Serial;
    return text;
}

TPortPresence::TPortPresence(Lister list) : list_(std::move(list)) {
    known_ = list_();
    std::sort(known_.begin(), known_.end());
}

std::vector<TDeviceChange> TPortPresence::Poll() {
    std::vector<std::string> now = list_();
    std::sort(now.begin(), now.end());
    const bool gone = !std::includes(now.begin(), now.end(), known_.begin(), known_.end());
    const bool came = !std::includes(known_.begin(), known_.end(), now.begin(), now.end());
    known_ = std::move(now);
    std::vector<TDeviceChange> changes;
    if (gone) changes.push_back(TDeviceChange::Removal);
    if (came) changes.push_back(TDeviceChange::Arrival);
    return changes;
}

}  // namespace korvel
