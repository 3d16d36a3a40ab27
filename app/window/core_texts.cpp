#include "app/window/core_texts.h"

#include <QtGlobal>

const std::vector<const char*>& coreTexts() {
    static const std::vector<const char*> texts = {
        // Messages of the look-ups.
        QT_TRANSLATE_NOOP("Romhaul", "您要搜索的手机型号呢？"),
        QT_TRANSLATE_NOOP("Romhaul", "您要搜索的关键字呢？"),
        QT_TRANSLATE_NOOP("Romhaul", "抱歉，未找到合适结果。"),
        QT_TRANSLATE_NOOP("Romhaul", "读取机型列表出错，请尝试刷新列表！"),
        QT_TRANSLATE_NOOP("Romhaul", "没有找到匹配的机型，再次搜索将从头开始。"),
        QT_TRANSLATE_NOOP("Romhaul", "请输入串号，可在拨号界面按*#06#进行查询！"),
        QT_TRANSLATE_NOOP("Romhaul", "查询失败，请检查您的手机串号是否有误！"),
        // The iPhone page's first entries and the phrases of its notes.
        QT_TRANSLATE_NOOP("Romhaul", "--全部机型--"),
        QT_TRANSLATE_NOOP("Romhaul", "--全部类型--"),
        QT_TRANSLATE_NOOP("Romhaul", "--全部版本--"),
        QT_TRANSLATE_NOOP("Romhaul", "原厂固件"),
        QT_TRANSLATE_NOOP("Romhaul", "自制固件"),
        QT_TRANSLATE_NOOP("Romhaul", "不可越狱"),
        QT_TRANSLATE_NOOP("Romhaul", "可不完美越狱"),
        QT_TRANSLATE_NOOP("Romhaul", "可完美越狱"),
        QT_TRANSLATE_NOOP("Romhaul", "不可刷"),
        QT_TRANSLATE_NOOP("Romhaul", "可随意刷此版本"),
        QT_TRANSLATE_NOOP("Romhaul", "可平刷"),
        QT_TRANSLATE_NOOP("Romhaul", "有SHSH则可以刷"),
        // The ZTE file details' labels.
        QT_TRANSLATE_NOOP("Romhaul", "文件大小："),
        QT_TRANSLATE_NOOP("Romhaul", "更新日期："),
        // The caption and the About page's constants.
        QT_TRANSLATE_NOOP("Romhaul", "作者：Romhaul 小组"),
        QT_TRANSLATE_NOOP("Romhaul", "联系：romhaul.list@lists.example.org 反馈"),
        QT_TRANSLATE_NOOP("Romhaul", "Romhaul为免费软件，仅供维修交流使用"),
        // Failures that end the program.
        QT_TRANSLATE_NOOP("Romhaul", "载入启动窗口失败"),
        QT_TRANSLATE_NOOP("Romhaul", "内存不足"),
        QT_TRANSLATE_NOOP("Romhaul", "运行时出错!\r\n\r\n错误信息："),
    };
    return texts;
}
