<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Romhaul</name>
    <message>
        <source>只有 http 和 https 地址可以检查，这个地址无法检查。</source>
        <translation>Only http and https addresses can be checked; this one cannot.</translation>
    </message>
    <message>
        <source>链接不可用：服务器没有回应。</source>
        <translation>Link unavailable: the server did not answer.</translation>
    </message>
    <message>
        <source>链接可用（HTTP %1）</source>
        <translation>Link available (HTTP %1)</translation>
    </message>
    <message>
        <source>链接不可用（HTTP %1）</source>
        <translation>Link unavailable (HTTP %1)</translation>
    </message>
    <message>
        <source>大小：</source>
        <translation>Size: </translation>
    </message>
    <message>
        <source>更新时间：</source>
        <translation>Last modified: </translation>
    </message>
    <message>
        <source>链接检查没能开始。</source>
        <translation>The link check could not start.</translation>
    </message>
    <message>
        <source>无法启动浏览器打开这个地址：
%1</source>
        <translation>No browser could be started for this address:
%1</translation>
    </message>
    <message>
        <source>当前状态：读取机型列表出错，请尝试刷新列表！</source>
        <translation>Status: reading the model list failed, try Refresh list!</translation>
    </message>
    <message>
        <source>当前状态：机型列表读取已完成！</source>
        <translation>Status: the model list is loaded.</translation>
    </message>
    <message>
        <source>当前状态：正在读取机型列表信息...</source>
        <translation>Status: reading the model list...</translation>
    </message>
    <message>
        <source>当前状态：正在读取ZTE服务器下载文件列表...</source>
        <translation>Status: reading the ZTE server&apos;s file list...</translation>
    </message>
    <message>
        <source>当前状态：服务器可下载文件列表读取完成！</source>
        <translation>Status: the server&apos;s file list is loaded.</translation>
    </message>
    <message>
        <source>信息：</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>列表是空的，没有可复制的内容。</source>
        <translation>The list is empty: there is nothing to copy.</translation>
    </message>
    <message>
        <source>请先选中要复制的行。</source>
        <translation>Select the rows to copy first.</translation>
    </message>
    <message>
        <source>列表是空的，没有可导出的内容。</source>
        <translation>The list is empty: there is nothing to export.</translation>
    </message>
    <message>
        <source>导出列表</source>
        <translation>Export list</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>列表没有导出，文件无法写入：</source>
        <translation>The list was not exported; the file cannot be written: </translation>
    </message>
    <message>
        <source>列表是空的，没有可检查的链接。</source>
        <translation>The list is empty: there is no link to check.</translation>
    </message>
    <message>
        <source>请先选中一行。</source>
        <translation>Select a row first.</translation>
    </message>
    <message>
        <source>正在检查链接…</source>
        <translation>Checking the link…</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>复制下载地址</source>
        <translation>Copy download address</translation>
    </message>
    <message>
        <source>导出列表…</source>
        <translation>Export list…</translation>
    </message>
    <message>
        <source>检查链接</source>
        <translation>Check link</translation>
    </message>
    <message>
        <source>打开下载地址</source>
        <translation>Open download address</translation>
    </message>
    <message>
        <source>还没有下载地址。</source>
        <translation>There is no download address yet.</translation>
    </message>
    <message>
        <source>您要搜索的手机型号呢？</source>
        <translation>Which phone model do you want to search for?</translation>
    </message>
    <message>
        <source>您要搜索的关键字呢？</source>
        <translation>Which keyword do you want to search for?</translation>
    </message>
    <message>
        <source>抱歉，未找到合适结果。</source>
        <translation>Sorry, nothing matching was found.</translation>
    </message>
    <message>
        <source>读取机型列表出错，请尝试刷新列表！</source>
        <translation>Reading the model list failed, try Refresh list!</translation>
    </message>
    <message>
        <source>请输入串号，可在拨号界面按*#06#进行查询！</source>
        <translation>Enter the serial number (IMEI); dial *#06# to see it!</translation>
    </message>
    <message>
        <source>查询失败，请检查您的手机串号是否有误！</source>
        <translation>The look-up failed; check that the serial number is right!</translation>
    </message>
    <message>
        <source>--全部机型--</source>
        <translation>--All models--</translation>
    </message>
    <message>
        <source>--全部类型--</source>
        <translation>--All types--</translation>
    </message>
    <message>
        <source>--全部版本--</source>
        <translation>--All versions--</translation>
    </message>
    <message>
        <source>原厂固件</source>
        <translation>Original firmware</translation>
    </message>
    <message>
        <source>自制固件</source>
        <translation>Custom firmware</translation>
    </message>
    <message>
        <source>不可越狱</source>
        <translation>no jailbreak</translation>
    </message>
    <message>
        <source>可不完美越狱</source>
        <translation>tethered jailbreak</translation>
    </message>
    <message>
        <source>可完美越狱</source>
        <translation>untethered jailbreak</translation>
    </message>
    <message>
        <source>不可刷</source>
        <translation>cannot be flashed</translation>
    </message>
    <message>
        <source>可随意刷此版本</source>
        <translation>can always be flashed</translation>
    </message>
    <message>
        <source>可平刷</source>
        <translation>can be re-flashed at the same version</translation>
    </message>
    <message>
        <source>有SHSH则可以刷</source>
        <translation>can be flashed with saved SHSH blobs</translation>
    </message>
    <message>
        <source>文件大小：</source>
        <translation>File size: </translation>
    </message>
    <message>
        <source>更新日期：</source>
        <translation>Updated: </translation>
    </message>
    <message>
        <source>作者：Romhaul 小组</source>
        <translation>By the Romhaul team</translation>
    </message>
    <message>
        <source>联系：romhaul.list@lists.example.org 反馈</source>
        <translation>Contact: romhaul.list@lists.example.org</translation>
    </message>
    <message>
        <source>Romhaul为免费软件，仅供维修交流使用</source>
        <translation>Romhaul is free software, for repair work only</translation>
    </message>
    <message>
        <source>载入启动窗口失败</source>
        <translation>The main window could not be loaded</translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>运行时出错!<byte value="xd"/>
<byte value="xd"/>
错误信息：</source>
        <translation>Run-time error!<byte value="xd"/>
<byte value="xd"/>
Error: </translation>
    </message>
    <message>
        <source>最近的输入</source>
        <translation>Recent inputs</translation>
    </message>
    <message>
        <source>设置文件无法写入：%1</source>
        <translation>The settings file cannot be written: %1</translation>
    </message>
    <message>
        <source>华为 Huawei</source>
        <translation>Huawei</translation>
    </message>
    <message>
        <source>中兴 ZTE</source>
        <translation>ZTE</translation>
    </message>
    <message>
        <source>酷派 Coolpad</source>
        <translation>Coolpad</translation>
    </message>
    <message>
        <source>苹果 iPhone</source>
        <translation>iPhone</translation>
    </message>
    <message>
        <source>关于软件</source>
        <translation>About</translation>
    </message>
    <message>
        <source>输入产品型号或关键词，获取软件下载</source>
        <translation>Enter a model or keyword to find downloads</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>固件名称</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>发布日期</source>
        <translation>Released</translation>
    </message>
    <message>
        <source>文件大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>文件名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>文件大小 </source>
        <translation>Size </translation>
    </message>
    <message>
        <source>更新日期</source>
        <translation>Updated</translation>
    </message>
    <message>
        <source>格式</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>文件信息：</source>
        <translation>File details:</translation>
    </message>
    <message>
        <source>刷新列表</source>
        <translation>Refresh list</translation>
    </message>
    <message>
        <source>请输入关键词，获取产品列表</source>
        <translation>Enter a keyword to find products</translation>
    </message>
    <message>
        <source>描述</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>文件种类</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>输入手机串号进行查询：</source>
        <translation>Phone serial (IMEI):</translation>
    </message>
    <message>
        <source>查询详细信息</source>
        <translation>Look up</translation>
    </message>
    <message>
        <source>手机型号：</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>IMEI码：</source>
        <translation>IMEI:</translation>
    </message>
    <message>
        <source>序列号：</source>
        <translation>Serial:</translation>
    </message>
    <message>
        <source>网络制式：</source>
        <translation>Network:</translation>
    </message>
    <message>
        <source>SW版本：</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>下载地址：</source>
        <translation>Download:</translation>
    </message>
    <message>
        <source>点击下载</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>显示全部版本(包括不可刷版本)</source>
        <translation>All versions (also unflashable)</translation>
    </message>
    <message>
        <source>版本</source>
        <translation>Ver.</translation>
    </message>
    <message>
        <source>说明</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>交流论坛：</source>
        <translation>Forum:</translation>
    </message>
    <message>
        <source>Romhaul 维修交流论坛</source>
        <translation>Romhaul repair forum</translation>
    </message>
    <message>
        <source>配件商店：</source>
        <translation>Parts:</translation>
    </message>
    <message>
        <source>Romhaul 维修配件小店</source>
        <translation>Romhaul repair parts shop</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>服务地址、语言、代理和下载 (Ctrl+,)</source>
        <translation>Service hosts, language, proxy and downloads (Ctrl+,)</translation>
    </message>
    <message>
        <source>华为：</source>
        <translation>Huawei:</translation>
    </message>
    <message>
        <source>中兴：</source>
        <translation>ZTE:</translation>
    </message>
    <message>
        <source>酷派：</source>
        <translation>Coolpad:</translation>
    </message>
    <message>
        <source>LG：</source>
        <translation>LG:</translation>
    </message>
    <message>
        <source>iPhone 固件目录：</source>
        <translation>iPhone catalogue:</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>As the system</translation>
    </message>
    <message>
        <source>语言：</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>服务地址</source>
        <translation>Service hosts</translation>
    </message>
    <message>
        <source>环境变量 %1 设定了这个地址。</source>
        <translation>The environment variable %1 sets this address.</translation>
    </message>
    <message>
        <source>代理</source>
        <translation>Proxy</translation>
    </message>
    <message>
        <source>不用代理</source>
        <translation>No proxy</translation>
    </message>
    <message>
        <source>系统代理</source>
        <translation>System proxy</translation>
    </message>
    <message>
        <source>HTTP 代理</source>
        <translation>HTTP proxy</translation>
    </message>
    <message>
        <source>SOCKS5 代理</source>
        <translation>SOCKS5 proxy</translation>
    </message>
    <message>
        <source>方式：</source>
        <translation>Kind:</translation>
    </message>
    <message>
        <source>主机：</source>
        <translation>Host:</translation>
    </message>
    <message>
        <source>端口：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>用户名：</source>
        <translation>User:</translation>
    </message>
    <message>
        <source>密码：</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Downloads</translation>
    </message>
    <message>
        <source>浏览…</source>
        <translation>Browse…</translation>
    </message>
    <message>
        <source>下载文件夹</source>
        <translation>Download folder</translation>
    </message>
    <message>
        <source>下载文件夹：</source>
        <translation>Folder:</translation>
    </message>
    <message>
        <source>同时连接数：</source>
        <translation>Connections:</translation>
    </message>
    <message>
        <source>清除输入记录</source>
        <translation>Clear input history</translation>
    </message>
    <message>
        <source>请填写代理的主机和端口。</source>
        <translation>Enter the proxy&apos;s host and port.</translation>
    </message>
    <message>
        <source>新的语言在下次启动时生效。</source>
        <translation>The new language takes effect at the next start.</translation>
    </message>
    <message>
        <source>下载地址</source>
        <translation>Download address</translation>
    </message>
    <message>
        <source>代理设置无效，请检查主机和端口。</source>
        <translation>The proxy setting is not usable: check its host and port.</translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>下载中</source>
        <translation>Downloading</translation>
    </message>
    <message>
        <source>已完成</source>
        <translation>Complete</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>失败：</source>
        <translation>Failed: </translation>
    </message>
    <message>
        <source>失败原因：</source>
        <translation>Failure: </translation>
    </message>
    <message>
        <source>下载 (%1)</source>
        <translation>Downloads (%1)</translation>
    </message>
    <message>
        <source>只有 http 和 https 地址可以下载。</source>
        <translation>Only http and https addresses can be downloaded.</translation>
    </message>
    <message>
        <source>下载完成后才有 SHA-256。</source>
        <translation>The SHA-256 is there once the download is complete.</translation>
    </message>
    <message>
        <source>华为</source>
        <translation>Huawei</translation>
    </message>
    <message>
        <source>中兴</source>
        <translation>ZTE</translation>
    </message>
    <message>
        <source>酷派</source>
        <translation>Coolpad</translation>
    </message>
    <message>
        <source>iPhone 固件目录</source>
        <translation>iPhone firmware catalogue</translation>
    </message>
    <message>
        <source>网络错误：</source>
        <translation>network error: </translation>
    </message>
    <message>
        <source>服务返回 HTTP 状态 %1</source>
        <translation>the service answered HTTP status %1</translation>
    </message>
    <message>
        <source>回复过大</source>
        <translation>the reply is too large</translation>
    </message>
    <message>
        <source>回复无法读取</source>
        <translation>the reply cannot be read</translation>
    </message>
    <message>
        <source>%1 服务请求失败（%2）：%3</source>
        <translation>The %1 service request failed (%2): %3</translation>
    </message>
    <message>
        <source>当前状态：</source>
        <translation>Status: </translation>
    </message>
    <message>
        <source>列表是空的，没有可下载的文件。</source>
        <translation>The list is empty; there is no file to download.</translation>
    </message>
    <message>
        <source>没有找到匹配的机型，再次搜索将从头开始。</source>
        <translation>No matching model found; the next find starts from the top.</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>剩余时间</source>
        <translation>Time left</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>复制 SHA-256</source>
        <translation>Copy SHA-256</translation>
    </message>
    <message>
        <source>下载</source>
        <comment>command</comment>
        <translation>Download</translation>
    </message>
    <message>
        <source>只读取了前 %1 页，列表可能不完整。</source>
        <translation>First %1 pages only: the list may be incomplete.</translation>
    </message>
    <message>
        <source>没有 iPhone 固件目录的地址：请设置环境变量 %1，或在设置中填写。</source>
        <translation>No iPhone firmware catalogue address: set the environment variable %1, or fill it in the settings.</translation>
    </message>
    <message>
        <source>列表可能不完整：%1</source>
        <translation>The list may be incomplete. %1</translation>
    </message>
    <message>
        <source>未能读取类型列表：%1</source>
        <translation>The type list could not be read. %1</translation>
    </message>
    <message>
        <source>回复太复杂，未能读完，列表可能不完整。</source>
        <translation>Reply too complex: the list may be incomplete.</translation>
    </message>
</context>
</TS>
