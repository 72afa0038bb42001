#pragma once
// A dotted IPv4 address edit: four decimal parts of 0..255, text such as "192.168.0.100".

#include <QLineEdit>

namespace trivel {

class IpAddressEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    // Text from elsewhere shows as the four fields would: "192.168.0.100." reads
    // "192.168.0.100", and anything past the fourth part is dropped.
    void setAddressText(const QString& text);
    static QString NormalizedAddress(const QString& text);
};

} // namespace trivel
