#include "shell/data/FormLocalizations.h"

#include "shell/data/AlLanguager.h"

namespace {

struct Text
{
    const char* component;
    const char* property;
    const char* value; // UTF-8
};

QString build(std::initializer_list<Text> texts)
{
    QList<TLocalizedText> pairs;
    QList<QByteArray> keys;
    for (const Text& text : texts)
        keys.append(QByteArray("*_*") + QByteArray(text.component).toLower() + '_' +
                    QByteArray(text.property).toLower());
    int i = 0;
    for (const Text& text : texts)
        pairs.append({keys.at(i++).constData(), QString::fromUtf8(text.value)});
    return BuildLocalizationString(pairs);
}

} // namespace

QString F_MainLocalization()
{
    static const QString text = build({
        {"F_Main", "caption", "Brevant++ "},
        {"N1", "caption", "แฟ้มข้อมูล"},
        {"N_OpenFile", "caption", "เปิดแฟ้มข้อมูล"},
        {"N_SaveHTML", "caption", "จัดเก็บแฟ้มข้อมูล"},
        {"N_PSetup", "caption", "ตั้งค่าเครื่องพิมพ์"},
        {"N_PrintPreview", "caption", "ตัวอย่างก่อนพิมพ์"},
        {"N_Print", "caption", "พิมพ์"},
        {"N4", "caption", "ปรับแต่งระบบ"},
        {"N6", "caption", "&ออกจากโปรแกรม"},
        {"M_N_Window", "caption", "&จัดการหน้าต่าง"},
        {"WindowArrangeItem", "caption", "&Cascade"},
        {"Tile1", "caption", "&Tile"},
        {"MNU_SystemCommand", "caption", "คำสั่งระบบ"},
        {"N8", "caption", "เปิดหน้าต่างใหม่"},
        {"MNU_HideToolbar", "caption", "ซ่อนแถบเครื่องมือ"},
        {"MNU_HideMDITab", "caption", "ซ่อนแถบเลือกหน้าต่าง"},
        {"MNU_WebOffLine", "caption", "เล่นเว็บแบบ Offline"},
        {"HTML1", "caption", "ดูคำสั่ง HTML"},
        {"N18", "caption", "แถบเครื่องมือ"},
        {"MNU_Both", "caption", "แสดงทั้งรูปและข้อความ"},
        {"MNU_PicOnly", "caption", "แสดงเฉพาะรูป"},
        {"MNU_TextOnly", "caption", "แสดงเฉพาะข้อความ"},
        {"N20", "caption", "ขนาดอักษร"},
        {"MNU_TextBiggest", "caption", "ใหญ่ที่สุด"},
        {"MNU_TextBig", "caption", "ใหญ่"},
        {"MNU_TextMedium", "caption", "ปานกลาง"},
        {"MNU_TextSmall", "caption", "เล็ก"},
        {"MNU_TextSmallest", "caption", "เล็กที่สุด"},
        {"N25", "caption", "เปลี่ยนรหัสภาษา"},
        {"N_SetThatEncode", "caption", "ภาษาไทย (Windows-874)"},
        {"N_SetEngEncode", "caption", "ภาษาอังกฤษ (ISO-8859-1)"},
        {"N15", "caption", "ค้นหาข้อความ"},
        {"N9", "caption", "ซ่อน/แสดงสารบัญเว็บ"},
        {"N5", "caption", "ข้อมูลโปรแกรม"},
        {"N11", "caption", "ระบบช่วยเหลือ"},
        {"Brevant1", "caption", "หน้ารับรอง Brevant++"},
        {"About1", "caption", "เกี่ยวกับ..."},
        {"MNU_Plugins", "caption", "Plugins"},
        {"N2", "caption", "เรียงตามแนวนอน"},
        {"N3", "caption", "เรียงตามแนวตั้ง"},
        {"Test1", "caption", "เกี่ยวกับ Brevant++"},
        {"MNU_NewWindow", "caption", "เปิดหน้าต่างใหม่"},
        {"MNU_PrevPage", "caption", "ไปเพจก่อนหน้า"},
        {"Link1", "caption", "เปิด Link ทั้งหมด"},
        {"MNU_NextPage", "caption", "ไปเพจถัดไป"},
        {"MNU_Stop", "caption", "หยุดการเรียกข้อมูล"},
        {"MNU_Refresh", "caption", "เรียกข้อมูลซ้ำ"},
        {"N23", "caption", "ตั้งค่าเปิดเว็บขั้นสูง"},
        {"N_CloseWindow", "caption", "ปิดหน้าต่างนี้"},
        {"N_CloseAllWindow", "caption", "ปิดหน้าต่างทั้งหมด"},
        {"N_GoFavorite", "caption", "ไปเว็บนี้"},
        {"N_AddFavorite", "caption", "เพิ่มรายการ"},
        {"N_DelFavorite", "caption", "ลบรายการ"},
        {"N_EditFavorite", "caption", "แก้ไขรายการ"},
        {"N_MoveFavorite", "caption", "ย้ายรายการ"},
        {"N_GofavoriteNew", "caption", "ไปเว็บนี้ในหน้าต่างใหม่"},
        {"SB_AddFavorite", "caption", "เพิ่ม"},
        {"SB_DelFavorite", "caption", "ลบ"},
        {"SB_EditFavorite", "caption", "แก้ไข"},
        {"SB_UpFavorite", "hint", "เลื่อนรายการขึ้น"},
        {"SB_DownFavorite", "hint", "เลื่อนรายการลง"},
        {"SB_MoveFavorite", "caption", "ย้าย"},
        {"SB_GoFavorite", "caption", "ไปเว็บนี้"},
        {"RSB_NewWindow", "caption", "หน้าต่างใหม่"},
        {"RSB_NewWindow", "hint", "เปิดหน้าต่างใหม่"},
        {"RSB_Back", "caption", "ย้อนกลับ"},
        {"RSB_Back", "hint", "ไปเพจก่อนหน้า"},
        {"RSB_Forward", "caption", "ถัดไป"},
        {"RSB_Forward", "hint", "ไปเพจถัดไป"},
        {"RSB_Stop", "caption", "หยุด"},
        {"RSB_Stop", "hint", "หยุดการเรียกข้อมูล"},
        {"RSB_Refresh", "caption", "โหลดใหม่"},
        {"RSB_Refresh", "hint", "เรียกข้อมูลซ้ำ"},
        {"RSB_Home", "caption", "หน้าแรก"},
        {"RSB_Home", "hint", "ไปหน้าแรก"},
        {"RSB_Search", "caption", "ค้นหา"},
        {"RSB_Search", "hint", "ค้นหาเว็บ"},
        {"RSB_Favorite", "caption", "สารบัญเว็บ"},
        {"RSB_Favorite", "hint", "ซ่อน/แสดงสารบัญเว็บ"},
        {"RSB_TileWindow", "caption", "เรียงต่อกัน"},
        {"RSB_TileWindow", "hint", "จัดหน้าต่างเรียงต่อกัน"},
        {"RSB_CascadeWindow", "caption", "เรียงซ้อน"},
        {"RSB_CascadeWindow", "hint", "จัดหน้าต่างเรียงซ้อนกัน"},
        {"SB_HideMDITab", "hint", "ซ่อนแถบเลือกหน้าต่าง"},
        {"SB_ChooseFavorite", "hint", "เลือกกลุ่มสารบัญเว็บ"},
    });
    return text;
}

QString F_ExitLocalization()
{
    static const QString text = build({
        {"F_Exit", "caption", "ออกจากโปรแกรม"},
        {"Label1", "caption", "ต้องการออกจากโปรแกรม?"},
        {"B_OK", "caption", "ต้องการ"},
        {"B_Cancel", "caption", "ไม่ต้องการ"},
        {"GroupBox1", "caption", "ตัวเลือกพิเศษ"},
        {"ChB_SaveWindow", "caption", "บันทึกหน้าต่างที่เปิดไว้"},
        {"ChB_SaveEnv", "caption", "บันทึกรูปแบบโปรแกรม"},
    });
    return text;
}

QString F_AboutLocalization()
{
    static const QString text = build({
        {"F_About", "caption", "เกี่ยวกับ Brevant++"},
        {"Label1", "caption", "Brevant++\r\nเว็บบราวเซอร์แบบหลายหน้าต่างสำหรับคนไทย"},
        {"L_Version", "caption", "Version: "},
        {"L_IEVersion", "caption", "Internet Explorer Version: "},
        {"L_Homepage", "caption", "หน้าแรกของ Brevant++"},
        {"L_Email", "caption", "brevant@localhost"},
        {"L_Stat", "caption", "Loading..."},
        {"SB_Close", "caption", "&ปิดหน้าต่าง"},
    });
    return text;
}
