#include <gtest/gtest.h>

#include "link/zyl_serial_port.h"
#include "support/fake_ui_host.h"

namespace korvel {
namespace {

TEST(SerialProperties, DefaultsOfTheComponent) {
    test::FakeUiHost host;
    TZylSerialPort port(host);
    EXPECT_EQ(port.GetPort(), spNone);
    EXPECT_EQ(port.GetBaudRate(), br004800);
    EXPECT_EQ(port.GetDataWidth(), dw8Bits);
    EXPECT_EQ(port.GetParity(), pbNone);
    EXPECT_EQ(port.GetStopBits(), sb1Bit);
    EXPECT_TRUE(port.GetEnableDTROnOpen());
    EXPECT_TRUE(port.GetEnableRTSOnOpen());
    EXPECT_EQ(port.Settings().XonChar, 17);
    EXPECT_EQ(port.Settings().XoffChar, 19);
    EXPECT_EQ(port.Settings().XoffLim, 1);
    EXPECT_EQ(port.Timeouts().ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(port.Timeouts().WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(port.Timeouts().WriteTotalTimeoutConstant, 1000u);
    EXPECT_EQ(port.GetInputBuffer(), 4096u);
    EXPECT_EQ(port.GetOutputBuffer(), 4096u);
    EXPECT_EQ(port.GetDelay(), 100u);
    EXPECT_TRUE(port.NeedSynchronization);
    EXPECT_DOUBLE_EQ(port.Version(), 1.58);
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(port.ConnectedTo(), spNone);
}

TEST(SerialProperties, DataWidthAndStopBitsPairs) {
    const char* const refused = "Invalid data-width and stop-bits combination.";
    struct Row {
        TDataWidth width;
        TStopBits stop;
        bool allowed;
    } rows[] = {
        {dw5Bits, sb1Bit, true},  {dw5Bits, sb1_5Bits, true}, {dw5Bits, sb2Bits, false},
        {dw6Bits, sb1_5Bits, false}, {dw7Bits, sb1_5Bits, false}, {dw8Bits, sb1_5Bits, false},
        {dw6Bits, sb2Bits, true}, {dw8Bits, sb2Bits, true},   {dw8Bits, sb1Bit, true},
    };
    for (const Row& r : rows) {
        // Either setter refuses the pair, against the other field's current value.
        test::FakeUiHost host;
        TZylSerialPort a(host);
        a.SetDataWidth(dw5Bits);  // a width that accepts every stop-bit setting but two
        a.SetStopBits(sb1Bit);
        a.SetDataWidth(r.width);
        if (r.allowed) {
            EXPECT_NO_THROW(a.SetStopBits(r.stop));
            EXPECT_EQ(a.GetStopBits(), r.stop);
        } else {
            try {
                a.SetStopBits(r.stop);
                ADD_FAILURE() << "pair accepted: width " << int(r.width) << " stop " << int(r.stop);
            } catch (const EZylSerialPortException& e) {
                EXPECT_STREQ(e.what(), refused);
            }
            EXPECT_EQ(a.GetStopBits(), sb1Bit);
        }

        TZylSerialPort b(host);
        b.SetDataWidth(r.stop == sb1_5Bits ? dw5Bits : dw6Bits);
        b.SetStopBits(r.stop);
        const TDataWidth before = b.GetDataWidth();
        if (r.allowed) {
            EXPECT_NO_THROW(b.SetDataWidth(r.width));
            EXPECT_EQ(b.GetDataWidth(), r.width);
        } else {
            EXPECT_THROW(b.SetDataWidth(r.width), EZylSerialPortException);
            EXPECT_EQ(b.GetDataWidth(), before);
        }
    }
}

TEST(SerialProperties, BaudRatesAndTheCustomRate) {
    struct Row {
        TBaudRate rate;
        int32_t baud;
    } rows[] = {{br000075, 75},     {br000134, 134},     {br007200, 7200},     {br009600, 9600},
                {br128000, 128000}, {br256000, 256000}, {br921600, 921600}};
    for (const Row& r : rows) {
        EXPECT_EQ(TZylSerialPort::BaudRateToInt(r.rate, 0), r.baud);
        EXPECT_EQ(TZylSerialPort::IntToBaudRate(r.baud), r.rate);
    }
    EXPECT_EQ(TZylSerialPort::IntToBaudRate(12345), brCustom);
    EXPECT_EQ(TZylSerialPort::BaudRateToInt(brCustom, 31250), 31250);

    test::FakeUiHost host;
    TZylSerialPort port(host);
    port.SetCustomBaudRate(31250);  // stored only: the line rate is not custom yet
    EXPECT_EQ(port.Settings().BaudRate, 4800);
    port.SetBaudRate(brCustom);
    EXPECT_EQ(port.Settings().BaudRate, 31250);
    port.SetCustomBaudRate(250000);
    EXPECT_EQ(port.Settings().BaudRate, 250000);
    EXPECT_EQ(port.GetBaudRate(), brCustom);
    port.SetBaudRate(br009600);
    EXPECT_EQ(port.GetBaudRate(), br009600);
}

TEST(SerialProperties, ReplaceControlCharsNamesEveryControlByte) {
    using B = ByteString;
    EXPECT_EQ(TZylSerialPort::ReplaceControlChars(B("\x02" "AB\x03", 4)), "<STX>AB<ETX>");
    EXPECT_EQ(TZylSerialPort::ReplaceControlChars(B("\0\t\r\n\x1f", 5)), "<NUL><TAB><CR><LF><US>");
    EXPECT_EQ(TZylSerialPort::ReplaceControlChars(B(" \x7f\x80\xff")), B(" \x7f\x80\xff"));
    EXPECT_EQ(TZylSerialPort::ReplaceControlChars(""), "");
    std::string all;
    for (int b = 0; b < 32; ++b) all += static_cast<char>(b);
    EXPECT_EQ(TZylSerialPort::ReplaceControlChars(all),
              "<NUL><SOH><STX><ETX><EOT><ENQ><ACK><BEL><BS><TAB><LF><VT><FF><CR><SO><SI><DLE><DC1><DC2>"
              "<DC3><DC4><NAK><SYN><ETB><CAN><EM><SUB><ESC><FS><GS><RS><US>");
}

TEST(SerialProperties, ClosedPortRefusesSendsAndReportsNoLines) {
    test::FakeUiHost host;
    TZylSerialPort port(host);
    port.SetPort(TCommPort(7));
    const uint8_t byte = 0x55;
    try {
        port.SendData(&byte, 1);
        ADD_FAILURE() << "send on a closed port accepted";
    } catch (const EZylSerialPortException& e) {
        EXPECT_STREQ(e.what(), "COM7 is not open. Serial port is not connected.");
    }
    EXPECT_THROW(port.SendString("abc"), EZylSerialPortException);
    EXPECT_THROW(port.SendWord(0x1234), EZylSerialPortException);
    EXPECT_EQ(port.SendChars(""), 0);
    EXPECT_FALSE(port.ClearInputBuffer());
    EXPECT_FALSE(port.SetDTR(true));
    EXPECT_FALSE(port.GetCTS());
    EXPECT_FALSE(port.IsSending());
    port.Close();  // nothing open: returns at once
    EXPECT_FALSE(port.IsConnected());
}

}  // namespace
}  // namespace korvel
