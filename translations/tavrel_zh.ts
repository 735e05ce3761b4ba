<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>tavrel::assignment</name>
    <message>
        <source>%1 or %2</source>
        <comment>the last two of the close matches</comment>
        <translation>%1 或 %2</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between the close matches</comment>
        <translation>、</translation>
    </message>
    <message>
        <source>unknown key name %1</source>
        <translation>未知的键名 %1</translation>
    </message>
    <message>
        <source>unknown mouse button %1 (the buttons are left, right and middle)</source>
        <translation>未知的鼠标按键 %1（可用按键为 left、right 和 middle）</translation>
    </message>
    <message>
        <source>unknown key name %1 (did you mean %2?)</source>
        <translation>未知的键名 %1（您是不是要输入 %2？）</translation>
    </message>
    <message>
        <source>unknown mouse button %1 (did you mean %2?)</source>
        <translation>未知的鼠标按键 %1（您是不是要输入 %2？）</translation>
    </message>
    <message>
        <source>a key name is missing in %1</source>
        <translation>%1 中缺少键名</translation>
    </message>
    <message>
        <source>%1 and %2 are both ordinary keys; a key sends one ordinary key with its modifiers</source>
        <translation>%1 和 %2 都是普通键；一个按键只能发送一个普通键及其修饰键</translation>
    </message>
</context>
<context>
    <name>tavrel::configfile</name>
    <message numerus="yes">
        <source>… and %n more</source>
        <translation>
            <numerusform>……另有%n处错误</numerusform>
        </translation>
    </message>
    <message>
        <source>mode %1 is not one a key can hold (00 keyboard single, 02 keyboard repeat, 01 mouse single, 03 mouse repeat)</source>
        <translation>模式 %1 无效（00 键盘单次按下、02 键盘连续按键、01 鼠标单次按下、03 鼠标连续按键）</translation>
    </message>
    <message>
        <source>mouse button %1 is not one a key can hold (01 left, 02 right, 04 middle)</source>
        <translation>鼠标按键 %1 无效（01 鼠标左键、02 鼠标右键、04 滚轮按键）</translation>
    </message>
    <message>
        <source>key %1 is beyond the device, which has 1 key</source>
        <translation>按键%1超出设备范围：设备只有1个按键</translation>
    </message>
    <message>
        <source>key %1 is beyond the device, which has %2 keys</source>
        <translation>按键%1超出设备范围：设备只有%2个按键</translation>
    </message>
    <message>
        <source>key %1 is given twice (first at line %2)</source>
        <translation>按键%1重复出现（首次在第%2行）</translation>
    </message>
    <message>
        <source>unknown field %1 (the fields are %2)</source>
        <translation>未知字段 %1（可用字段：%2）</translation>
    </message>
    <message>
        <source>field %1 is given twice (first at line %2)</source>
        <translation>字段 %1 重复出现（首次在第%2行）</translation>
    </message>
    <message>
        <source>each key is an object such as {&quot;key&quot;: 1, &quot;assignment&quot;: &quot;F5&quot;}</source>
        <translation>每个按键须为一个对象，例如 {&quot;key&quot;: 1, &quot;assignment&quot;: &quot;F5&quot;}</translation>
    </message>
    <message>
        <source>the entry has no &quot;key&quot; number</source>
        <translation>该条目缺少 &quot;key&quot; 编号</translation>
    </message>
    <message>
        <source>&quot;key&quot; must be a number from 1 to %1 (the first key is 1)</source>
        <translation>&quot;key&quot; 须为1到%1之间的数字（第一个按键为1）</translation>
    </message>
    <message>
        <source>&quot;trigger&quot; must be &quot;single&quot; or &quot;repeat&quot;</source>
        <translation>&quot;trigger&quot; 须为 &quot;single&quot; 或 &quot;repeat&quot;</translation>
    </message>
    <message>
        <source>&quot;record&quot; must be five bytes in hex: Modifiers, Code1, Code2, Code3, Mode, such as &quot;05 04 00 00 00&quot;</source>
        <translation>&quot;record&quot; 须为五个十六进制字节：Modifiers、Code1、Code2、Code3、Mode，例如 &quot;05 04 00 00 00&quot;</translation>
    </message>
    <message>
        <source>trigger %1 disagrees with the record&apos;s mode %2 (%3)</source>
        <translation>触发方式 %1 与记录的模式 %2（%3）不符</translation>
    </message>
    <message>
        <source>the entry needs an &quot;assignment&quot;, a &quot;record&quot; or both</source>
        <translation>该条目须有 &quot;assignment&quot; 或 &quot;record&quot;，或两者都有</translation>
    </message>
    <message>
        <source>&quot;assignment&quot; must be a text such as &quot;Ctrl+Alt+A&quot;</source>
        <translation>&quot;assignment&quot; 须为文本，例如 &quot;Ctrl+Alt+A&quot;</translation>
    </message>
    <message>
        <source>%1 gives %2, but the record %3 is %4; change one of them or leave one out</source>
        <translation>%1 对应 %2，但记录 %3 是 %4；请修改或删去其中之一</translation>
    </message>
    <message>
        <source>%1; the record %2 is %3</source>
        <translation>%1；记录 %2 是 %3</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>文件是空的</translation>
    </message>
    <message>
        <source>this is not valid JSON: %1</source>
        <translation>这不是有效的 JSON：%1</translation>
    </message>
    <message>
        <source>this is not a Tavrel key file: it has no &quot;format&quot;: &quot;%1&quot;</source>
        <translation>这不是 Tavrel 按键配置文件：缺少 &quot;format&quot;: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>the file has no &quot;version&quot; (this program reads version %1)</source>
        <translation>文件缺少 &quot;version&quot;（本程序支持的版本为%1）</translation>
    </message>
    <message>
        <source>&quot;version&quot; must be a number (this program reads version %1)</source>
        <translation>&quot;version&quot; 须为数字（本程序支持的版本为%1）</translation>
    </message>
    <message>
        <source>format version %1 is unknown (this program reads version %2)</source>
        <translation>未知的格式版本%1（本程序支持的版本为%2）</translation>
    </message>
    <message>
        <source>&quot;%1&quot; must be a text</source>
        <translation>&quot;%1&quot; 须为文本</translation>
    </message>
    <message>
        <source>&quot;keys&quot; must be a list of keys, such as [{&quot;key&quot;: 1, &quot;assignment&quot;: &quot;F5&quot;}]</source>
        <translation>&quot;keys&quot; 须为按键列表，例如 [{&quot;key&quot;: 1, &quot;assignment&quot;: &quot;F5&quot;}]</translation>
    </message>
    <message>
        <source>key %1 is not one of the keys 1 to %2</source>
        <translation>按键%1不在1到%2的范围内</translation>
    </message>
</context>
<context>
    <name>tavrel::files</name>
    <message>
        <source>system error %1 (%2)</source>
        <translation>系统错误 %1（%2）</translation>
    </message>
    <message>
        <source>it is larger than %1 MiB, far more than a key file holds</source>
        <translation>文件大于 %1 MiB，远超按键配置文件的大小</translation>
    </message>
    <message>
        <source>there is no such file or folder</source>
        <translation>没有这个文件或文件夹</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>权限不足</translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation>磁盘已满</translation>
    </message>
    <message>
        <source>the disk quota is used up</source>
        <translation>磁盘配额已用完</translation>
    </message>
    <message>
        <source>the file system is read-only</source>
        <translation>文件系统是只读的</translation>
    </message>
    <message>
        <source>a part of the path is not a folder</source>
        <translation>路径中有一部分不是文件夹</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>这是一个文件夹</translation>
    </message>
    <message>
        <source>the name is too long</source>
        <translation>名称太长</translation>
    </message>
    <message>
        <source>the path has too many symbolic links</source>
        <translation>路径中的符号链接太多</translation>
    </message>
    <message>
        <source>the disk reported an input/output error</source>
        <translation>磁盘报告了输入/输出错误</translation>
    </message>
    <message>
        <source>too many files are open</source>
        <translation>打开的文件太多</translation>
    </message>
    <message>
        <source>it is in use</source>
        <translation>文件正在使用中</translation>
    </message>
    <message>
        <source>it does not name a file</source>
        <translation>这不是一个文件名</translation>
    </message>
    <message>
        <source>anyone may write to its folder, which has no sticky bit, so anyone could swap the file while it is written</source>
        <translation>所在文件夹任何人都可写入且没有粘滞位，写入时文件可能被他人替换</translation>
    </message>
    <message>
        <source>it is a symbolic link; a link is not written through, so name the file it points to</source>
        <translation>这是一个符号链接；不会通过链接写入，请指定它所指向的文件</translation>
    </message>
    <message>
        <source>it is a pipe or a socket, not a file</source>
        <translation>这是管道或套接字，不是文件</translation>
    </message>
    <message>
        <source>it is a device, not a file</source>
        <translation>这是设备，不是文件</translation>
    </message>
</context>
<context>
    <name>tavrelctl</name>
    <message>
        <source>%1 Try &quot;tavrelctl --help&quot;.</source>
        <translation>%1请参阅 &quot;tavrelctl --help&quot;。</translation>
    </message>
    <message>
        <source>%1 Try &quot;tavrelctl %2 --help&quot;.</source>
        <translation>%1请参阅 &quot;tavrelctl %2 --help&quot;。</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>未知选项 &apos;%1&apos;。</translation>
    </message>
    <message>
        <source>  --json                 print the keys as a key file, as backup saves them
</source>
        <translation>  --json                 以配置文件的格式输出按键，与 backup 保存的相同
</translation>
    </message>
    <message>
        <source>  --all                  write to every attached device with as many keys as the file
  --fit                  write the keys that fit a device with fewer keys, and with
                         --all, to devices of any number of keys
</source>
        <translation>  --all                  写入每个按键数与文件相同的已连接设备
  --fit                  按键较少的设备只写入容得下的按键；与 --all 一起使用时，
                         写入任意按键数的设备
</translation>
    </message>
    <message>
        <source>No command given.</source>
        <translation>没有指定命令。</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>未知命令 &quot;%1&quot;。</translation>
    </message>
    <message>
        <source>No help on &quot;%1&quot;.</source>
        <translation>没有关于 &quot;%1&quot; 的帮助。</translation>
    </message>
    <message>
        <source>Missing arguments.</source>
        <translation>缺少参数。</translation>
    </message>
    <message>
        <source>Unexpected argument &quot;%1&quot;.</source>
        <translation>多余的参数 &quot;%1&quot;。</translation>
    </message>
    <message>
        <source>--device and --all exclude each other.</source>
        <translation>--device 和 --all 不能同时使用。</translation>
    </message>
    <message>
        <source>--repeat and --single exclude each other.</source>
        <translation>--repeat 和 --single 不能同时使用。</translation>
    </message>
    <message>
        <source>KEY is a key number from 1 to %1, not &quot;%2&quot;.</source>
        <translation>KEY 须为1到%1的按键编号，而不是 &quot;%2&quot;。</translation>
    </message>
    <message>
        <source>FILE may not be empty.</source>
        <translation>FILE 不能为空。</translation>
    </message>
    <message>
        <source>No device is attached.</source>
        <translation>没有连接USB按键。</translation>
    </message>
    <message>
        <source>No receiver is attached.</source>
        <translation>没有连接接收器。</translation>
    </message>
    <message>
        <source>%1 receivers are attached: choose one with --device (see &quot;tavrelctl list&quot;).</source>
        <translation>连接了%1个接收器：请用 --device 选择其一（见 &quot;tavrelctl list&quot;）。</translation>
    </message>
    <message>
        <source>%1 devices are attached: choose one with --device (see &quot;tavrelctl list&quot;).</source>
        <translation>连接了%1个USB按键：请用 --device 选择其一（见 &quot;tavrelctl list&quot;）。</translation>
    </message>
    <message>
        <source>%1 is not a receiver: it offers no pairing.</source>
        <translation>%1 不是接收器：它不支持配对。</translation>
    </message>
    <message>
        <source>%1 has %2 keys: there is no key %3.</source>
        <translation>%1 只有%2个按键，没有按键%3。</translation>
    </message>
    <message>
        <source>%1 offers no mouse buttons.</source>
        <translation>%1 不支持鼠标按键。</translation>
    </message>
    <message>
        <source>%1 offers no choice of trigger.</source>
        <translation>%1 不支持选择触发方式。</translation>
    </message>
    <message>
        <source>Key %1 of %2 holds %3 already: nothing was written.</source>
        <translation>%2 的按键%1已经是 %3，未写入任何内容。</translation>
    </message>
    <message>
        <source>Key %1 of %2 is now %3.</source>
        <translation>%2 的按键%1已设为 %3。</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Saved %1 keys of %2 to %3.</source>
        <translation>已将 %2 的%1个按键保存到 %3。</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>%1 of %2 devices were not restored.</source>
        <translation>%2台设备中有%1台未恢复。</translation>
    </message>
    <message>
        <source>No attached device has %1 keys as the file does; --fit writes the keys that fit.</source>
        <translation>没有与文件一样有%1个按键的已连接设备；--fit 可写入容得下的按键。</translation>
    </message>
    <message>
        <source>%1: passed over: it has %2 keys, the file %3 (--fit writes the keys that fit).</source>
        <translation>%1：已跳过：它有%2个按键，文件有%3个（--fit 可写入容得下的按键）。</translation>
    </message>
    <message>
        <source>Nothing was written to %1.</source>
        <translation>未向 %1 写入任何内容。</translation>
    </message>
    <message>
        <source>%1: %2 not written.</source>
        <translation>%1：%2未写入。</translation>
    </message>
    <message>
        <source>%1: %2 keys written.</source>
        <translation>%1：已写入%2个按键。</translation>
    </message>
    <message>
        <source>%1: %2 keys written. The file&apos;s %3 left out: the device has %4.</source>
        <translation>%1：已写入%2个按键。文件中的%3未写入：该设备只有%4个按键。</translation>
    </message>
    <message>
        <source>Press any key of the transmitter within 10 seconds.</source>
        <translation>请在10秒内按下发射器任意键。</translation>
    </message>
    <message>
        <source>Cleared every binding of %1: it takes every transmitter now.</source>
        <translation>已解除 %1 的所有绑定：所有发射器均可使用。</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between the items of a list</comment>
        <translation>、</translation>
    </message>
    <message>
        <source>receiver</source>
        <translation>接收器</translation>
    </message>
    <message>
        <source>wired</source>
        <translation>有线</translation>
    </message>
    <message>
        <source>mouse buttons</source>
        <translation>鼠标按键</translation>
    </message>
    <message>
        <source>trigger choice</source>
        <translation>触发方式选择</translation>
    </message>
    <message>
        <source>pairing (capacity %1)</source>
        <translation>配对（最多%1个发射器）</translation>
    </message>
    <message>
        <source>keyboard only</source>
        <translation>仅键盘</translation>
    </message>
    <message>
        <source>Fix: install the udev rule 70-tavrel.rules that gives the logged-in user access to the devices (scripts/install-udev-rule.sh in the source tree, or the package&apos;s /usr/lib/udev/rules.d/70-tavrel.rules), then unplug and replug the device.</source>
        <translation>解决方法：安装 udev 规则 70-tavrel.rules，让登录的用户可以使用USB按键（源码目录中的 scripts/install-udev-rule.sh，或软件包中的 /usr/lib/udev/rules.d/70-tavrel.rules），然后拔出并重新插入USB按键。</translation>
    </message>
    <message>
        <source>No device found.</source>
        <translation>没有发现USB按键。</translation>
    </message>
    <message>
        <source>product</source>
        <translation>产品</translation>
    </message>
    <message>
        <source>serial</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>kind</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>keys</source>
        <translation>按键数</translation>
    </message>
    <message>
        <source>offers</source>
        <translation>功能</translation>
    </message>
    <message>
        <source>?</source>
        <translation>？</translation>
    </message>
    <message>
        <source>; no answer</source>
        <translation>；无应答</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>权限不足</translation>
    </message>
    <message>
        <source>Found but not openable:</source>
        <translation>发现了但无法打开：</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(无)</translation>
    </message>
    <message>
        <source>key %1</source>
        <translation>按键%1</translation>
    </message>
    <message>
        <source>keys %1 and %2</source>
        <translation>按键%1和%2</translation>
    </message>
    <message>
        <source>Bound transmitter %1 in slot %2.</source>
        <translation>加入绑定发射器：%1（位置%2）。</translation>
    </message>
    <message>
        <source>Transmitter %1 was bound already, in slot %2.</source>
        <translation>此发射器之前已绑定过：%1（位置%2）。</translation>
    </message>
    <message>
        <source>udev is not available, so no device can be found.</source>
        <translation>udev 不可用，无法查找USB按键。</translation>
    </message>
    <message>
        <source>The devices could not be listed.</source>
        <translation>无法列出USB按键。</translation>
    </message>
    <message>
        <source>The devices could not be listed: %1</source>
        <translation>无法列出USB按键：%1</translation>
    </message>
    <message>
        <source>Permission denied: %1 may not be opened (%2). %3</source>
        <translation>权限不足：无法打开 %1（%2）。%3</translation>
    </message>
    <message>
        <source>no access</source>
        <translation>无访问权限</translation>
    </message>
    <message>
        <source>%1 was unplugged.</source>
        <translation>%1 已被拔出。</translation>
    </message>
    <message>
        <source>%1 did not answer.</source>
        <translation>%1 没有应答。</translation>
    </message>
    <message>
        <source>%1 did not answer for %2.</source>
        <translation>%1 的%2没有应答。</translation>
    </message>
    <message>
        <source>%1: the bind request could not be sent.</source>
        <translation>%1：绑定请求发送失败。</translation>
    </message>
    <message>
        <source>No transmitter answered within 10 seconds.</source>
        <translation>10秒内未收到发射器传来的按键信号。</translation>
    </message>
    <message>
        <source>%1: the request to clear the bindings could not be sent.</source>
        <translation>%1：解除绑定请求发送失败。</translation>
    </message>
    <message>
        <source>Exit status:
  0  success
  1  any other failure, such as output that could not be written
  2  bad arguments, an unknown key name, or something the device does not offer
  3  no such device: none is attached, none matches --device, or it was unplugged
  4  permission denied: a device was found but may not be opened (install the udev rule)
  5  the device failed: it did not answer, or keys were not written
  6  bad file: it cannot be read or written, or it was refused
  7  no transmitter answered a bind request
</source>
        <translation>退出状态：
  0  成功
  1  其他失败，例如输出无法写入
  2  参数错误、键名未知，或设备不支持所要求的功能
  3  找不到设备：没有连接USB按键、没有与 --device 相符的设备，或设备已被拔出
  4  权限不足：发现了USB按键，但无法打开（请安装 udev 规则）
  5  设备出错：没有应答，或有按键未写入
  6  文件错误：无法读取或写入，或文件被拒绝
  7  没有发射器应答绑定请求
</translation>
    </message>
    <message>
        <source>Standard output could not be written: the output is incomplete.</source>
        <translation>标准输出无法写入：输出不完整。</translation>
    </message>
    <message>
        <source>--device needs an id, a serial or an index.</source>
        <translation>--device 后须跟编号、序列号或序号。</translation>
    </message>
    <message>
        <source>  --device ID|SERIAL|INDEX
                         the device to use: its id, its serial or its index in
                         &quot;tavrelctl list&quot;; needed when more than one device is attached.
                         Two devices with one serial are told apart by their ids.
</source>
        <translation>  --device ID|SERIAL|INDEX
                         要使用的设备：编号、序列号，或在 &quot;tavrelctl list&quot; 中的序号；
                         连接了多个设备时必须指定。序列号相同的两个设备以编号区分。
</translation>
    </message>
    <message>
        <source>Usage: tavrelctl list

Lists every attached device with its index, its id (the USB port and interface it
is plugged into), product, serial, whether it is wired or a wireless receiver,
its number of keys and what its serial offers: mouse buttons, the choice of
trigger (once per press or repeated while held), and pairing with the number of
transmitters a receiver holds. Devices that were found but may not be opened are
listed apart, with the reason and the fix.
</source>
        <translation>Usage: tavrelctl list

列出每个已连接的设备：序号、编号（它所插入的 USB 端口和接口）、产品、序列号、
有线还是无线接收器、按键数，以及它的序列号所表明的功能：鼠标按键、触发方式
选择（每次按下触发一次，或按住时连续触发）、配对（接收器最多可绑定的发射器数）。
发现了但无法打开的设备单独列出，并附上原因和解决方法。
</translation>
    </message>
    <message>
        <source>Usage: tavrelctl show [--device ID|SERIAL|INDEX] [--json]

Reads every key of a device and prints one line per key: its number (1 for the
first), its assignment by name (&quot;Ctrl+Shift+B&quot;, &quot;mouse:right&quot;, &quot;(none)&quot;),
its trigger (single or repeat) and its raw record.

Options:
</source>
        <translation>Usage: tavrelctl show [--device ID|SERIAL|INDEX] [--json]

读取设备的每个按键，每个按键显示一行：编号（第一个为1）、按名称表示的设置
（&quot;Ctrl+Shift+B&quot;、&quot;mouse:right&quot;、&quot;(无)&quot;）、触发方式（single 单次按下或
repeat 连续按键）和原始记录。

选项：
</translation>
    </message>
    <message>
        <source>Usage: tavrelctl set KEY ASSIGNMENT [--repeat|--single] [--device ID|SERIAL|INDEX]

Reads the device, changes key number KEY (1 for the first) and writes that key
only. ASSIGNMENT is key names joined by &quot;+&quot; (&quot;Ctrl+Shift+B&quot;, &quot;F5&quot;,
&quot;Left Windows+E&quot;; one key besides the modifiers), &quot;mouse:left&quot;,
&quot;mouse:right&quot; or &quot;mouse:middle&quot;, or &quot;&quot; for no key. Names are matched
without regard to case; an unknown name is refused with the names close to it.

Options:
  --repeat               repeat while the key is held
  --single               fire once per press
                         (without either, the key keeps its trigger)
</source>
        <translation>Usage: tavrelctl set KEY ASSIGNMENT [--repeat|--single] [--device ID|SERIAL|INDEX]

读取设备，修改编号为 KEY 的按键（第一个为1），只写入这一个按键。ASSIGNMENT
是用 &quot;+&quot; 连接的键名（&quot;Ctrl+Shift+B&quot;、&quot;F5&quot;、&quot;Left Windows+E&quot;；修饰键之外
只能有一个键）、&quot;mouse:left&quot;、&quot;mouse:right&quot; 或 &quot;mouse:middle&quot;，&quot;&quot; 表示
无按键。键名不区分大小写；未知的键名会被拒绝，并列出相近的键名。

选项：
  --repeat               按住时连续触发
  --single               每次按下触发一次
                         （两者都不指定时，按键保持原来的触发方式）
</translation>
    </message>
    <message>
        <source>Usage: tavrelctl backup FILE [--device ID|SERIAL|INDEX]

Reads every key of a device and saves them to FILE, a key file (see README).

Options:
</source>
        <translation>Usage: tavrelctl backup FILE [--device ID|SERIAL|INDEX]

读取设备的每个按键，保存到按键配置文件 FILE（见 README）。

选项：
</translation>
    </message>
    <message>
        <source>Usage: tavrelctl restore FILE [--device ID|SERIAL|INDEX | --all] [--fit]

Writes the keys of FILE to a device. The file is checked whole first: a file
with a fault is refused with every fault&apos;s line, and nothing is written.

Options:
</source>
        <translation>Usage: tavrelctl restore FILE [--device ID|SERIAL|INDEX | --all] [--fit]

把 FILE 中的按键写入设备。先检查整个文件：有错误的文件会被拒绝，并列出每个
错误所在的行，不写入任何内容。

选项：
</translation>
    </message>
    <message>
        <source>Usage: tavrelctl bind [--device ID|SERIAL|INDEX]

Asks a wireless receiver to bind a transmitter, and waits 10 seconds for a key
press on the transmitter. Prints the transmitter&apos;s identity, or that none
answered. Without --device, the only attached receiver.

Options:
</source>
        <translation>Usage: tavrelctl bind [--device ID|SERIAL|INDEX]

请求无线接收器绑定一个发射器，并等待10秒，其间请按下发射器任意键。显示
发射器的标识，或显示没有发射器应答。不指定 --device 时，使用唯一连接的
接收器。

选项：
</translation>
    </message>
    <message>
        <source>Usage: tavrelctl unbind [--device ID|SERIAL|INDEX]

Clears every binding of a wireless receiver: it then takes every transmitter.
Without --device, the only attached receiver.

Options:
</source>
        <translation>Usage: tavrelctl unbind [--device ID|SERIAL|INDEX]

解除无线接收器的所有绑定：解除后，所有发射器均可使用。
不指定 --device 时，使用唯一连接的接收器。

选项：
</translation>
    </message>
    <message>
        <source>%1 devices have the serial %2: choose one by its id (%3).</source>
        <translation>%1 个设备的序列号都是 %2：请用编号选择其中一个（%3）。</translation>
    </message>
    <message>
        <source>No attached device has the id, serial or index &quot;%1&quot; (see &quot;tavrelctl list&quot;).</source>
        <translation>没有编号、序列号或序号为 &quot;%1&quot; 的已连接设备（见 &quot;tavrelctl list&quot;）。</translation>
    </message>
    <message>
        <source>%1 was unplugged: %2 not written.</source>
        <translation>%1 已被拔出：%2未写入。</translation>
    </message>
    <message>
        <source>unknown serial: keyboard only</source>
        <translation>未知序列号：仅键盘按键</translation>
    </message>
    <message>
        <source>id</source>
        <translation>编号</translation>
    </message>
    <message>
        <source>Usage: tavrelctl watch [--device ID|SERIAL|INDEX] [--json]

Reads every key of a device, then prints one line for each press and release
the device sends through its keyboard and mouse interfaces: what was sent
(&quot;Ctrl+Shift+B&quot;, &quot;mouse:left&quot;), how often in a row when it repeats, and
the key whose assignment sends it when exactly one does. Runs until
interrupted (Ctrl+C ends it with exit status 0); exit status 3 when the device
is unplugged.

Options:
</source>
        <translation>Usage: tavrelctl watch [--device ID|SERIAL|INDEX] [--json]

先读取设备的所有按键，然后设备每通过其键盘和鼠标接口发出一次按下或松开，
就显示一行：发出的内容（&quot;Ctrl+Shift+B&quot;、&quot;mouse:left&quot;）、连发时的连续次数，
以及恰好只有一个按键的设置发出它时，是哪个按键。一直运行到被中断
（Ctrl+C 结束，退出状态为 0）；设备被拔出时退出状态为 3。

选项：
</translation>
    </message>
    <message>
        <source>  --json                 one JSON object per line: {&quot;event&quot;: &quot;press&quot; or &quot;release&quot;,
                         &quot;input&quot;: ..., &quot;repeat&quot;: 1, &quot;key&quot;: 3 or null}
</source>
        <translation>  --json                 每行一个 JSON 对象：{&quot;event&quot;: &quot;press&quot; 或 &quot;release&quot;,
                         &quot;input&quot;: ..., &quot;repeat&quot;: 1, &quot;key&quot;: 3 或 null}
</translation>
    </message>
    <message>
        <source>Pressed: %1 (key %2)</source>
        <translation>按下：%1（按键 %2）</translation>
    </message>
    <message>
        <source>Pressed: %1</source>
        <translation>按下：%1</translation>
    </message>
    <message>
        <source>Released: %1 (key %2)</source>
        <translation>松开：%1（按键 %2）</translation>
    </message>
    <message>
        <source>Released: %1</source>
        <translation>松开：%1</translation>
    </message>
    <message>
        <source>Pressed: %1, repeat %2 (key %3)</source>
        <translation>按下：%1，连续第%2次（按键 %3）</translation>
    </message>
    <message>
        <source>Pressed: %1, repeat %2</source>
        <translation>按下：%1，连续第%2次</translation>
    </message>
    <message>
        <source>Released: %1, repeat %2 (key %3)</source>
        <translation>松开：%1，连续第%2次（按键 %3）</translation>
    </message>
    <message>
        <source>Released: %1, repeat %2</source>
        <translation>松开：%1，连续第%2次</translation>
    </message>
    <message>
        <source>Permission denied: the keyboard and mouse of %1 may not be read (%2). Install the udev rule, then unplug and replug the device.</source>
        <translation>权限不足：无法读取 %1 的键盘和鼠标（%2）。请安装 udev 规则，然后拔出并重新插入设备。</translation>
    </message>
    <message>
        <source>%1 has no keyboard or mouse to watch.</source>
        <translation>%1 没有可供观察的键盘或鼠标。</translation>
    </message>
    <message>
        <source>Watching %1: press its keys; Ctrl+C ends.</source>
        <translation>正在观察 %1：请按下它的按键；按 Ctrl+C 结束。</translation>
    </message>
    <message>
        <source>%1: another Tavrel program kept writing it: %2 not written.</source>
        <translation>%1：另一个 Tavrel 程序一直在写入它：%2未写入。</translation>
    </message>
    <message>
        <source>%1: waiting while another Tavrel program writes it.</source>
        <translation>%1：另一个 Tavrel 程序正在写入它，等待中。</translation>
    </message>
    <message>
        <source>Key %1 of %2 was written by another program: %3.</source>
        <translation>%2 的按键 %1 已被另一个程序写入：%3。</translation>
    </message>
    <message>
        <source>N is an entry number from 1 to %1, not &quot;%2&quot;.</source>
        <translation>N 是 1 到 %1 之间的条目编号，而不是“%2”。</translation>
    </message>
    <message>
        <source>Usage: tavrelctl COMMAND [OPTIONS]

Reads and changes the assignments of programmable USB key devices.

Commands:
  list                 list the attached devices and what each one offers
  show                 print the assignment of every key of a device
  set KEY ASSIGNMENT   change one key of a device
  backup FILE          save every key of a device to a file
  restore FILE         write a file to one device, or to every compatible one
  bind                 bind a wireless transmitter to a receiver
  unbind               clear every binding of a receiver
  watch                print what a device sends, press by press, until interrupted
  history              list the writes to each device, newest first
  undo [N]             write back what a device held before a write
  help [COMMAND]       this text, or the help of a command

&quot;tavrelctl COMMAND --help&quot; describes a command and its options.

</source>
        <translation>Usage: tavrelctl COMMAND [OPTIONS]

读取和修改可编程USB按键的按键设置。

命令：
  list                 列出已连接的设备及各自支持的功能
  show                 显示设备每个按键的设置
  set KEY ASSIGNMENT   修改设备的一个按键
  backup FILE          把设备的所有按键保存到文件
  restore FILE         把文件写入一台设备，或写入所有相符的设备
  bind                 把无线发射器绑定到接收器
  unbind               解除接收器的所有绑定
  watch                逐次显示设备发出的按键，直到被中断
  history              按时间倒序列出每台设备的写入
  undo [N]             把设备写回到某次写入之前的内容
  help [COMMAND]       显示本帮助，或一个命令的帮助

&quot;tavrelctl COMMAND --help&quot; 介绍一个命令及其选项。

</translation>
    </message>
    <message>
        <source>Usage: tavrelctl history [--device ID|SERIAL|INDEX] [--json]

Lists the writes to a device, or to every device with a history, newest first:
each entry&apos;s number, its time, what wrote it, and each key it changed as the
assignment before and after (&quot;Key 3: Ctrl+Alt+A → Ctrl+Shift+B&quot;). Every
write of the window and of tavrelctl adds an entry before it sends anything;
the last 200 entries of each device are kept. TAVREL_HISTORY=0 turns the
history off.

Options:
  --device ID|SERIAL|INDEX
                         the device: an attached device as for the other commands,
                         or the serial or id a history is kept under
  --json                 one JSON object per entry and line
</source>
        <translation>Usage: tavrelctl history [--device ID|SERIAL|INDEX] [--json]

按时间倒序列出一台设备的写入，或所有有写入历史的设备的写入：每个条目的编号、
时间、由谁写入，以及它改变的每个按键在写入前后的设置
（“按键 3：Ctrl+Alt+A → Ctrl+Shift+B”）。窗口和 tavrelctl 的每次写入都在发送任何
内容之前添加一个条目；每台设备保留最近 200 个条目。TAVREL_HISTORY=0 关闭写入历史。

选项：
  --device ID|SERIAL|INDEX
                         设备：与其他命令一样指定已连接的设备，
                         或写入历史所用的序列号或 id
  --json                 每个条目一行，一个 JSON 对象
</translation>
    </message>
    <message>
        <source>Usage: tavrelctl undo [N] [--device ID|SERIAL|INDEX] [--force]

Reads the device and writes back what its keys held before entry N of its
history (1 for the latest, as &quot;tavrelctl history&quot; numbers them; without N,
the latest entry that changed a key). Only the keys the entry changed are
written, and the write is itself a new entry. When one of those keys no
longer holds what the entry wrote, nothing is written and the keys are named
(exit status 2).

Options:
</source>
        <translation>Usage: tavrelctl undo [N] [--device ID|SERIAL|INDEX] [--force]

读取设备，并把它的按键写回到写入历史第 N 条之前的内容（1 为最近一条，与
“tavrelctl history”的编号相同；不给 N 时，为最近一次改变了按键的写入）。只写入
该条目改变过的按键，这次写入本身也成为一个新条目。若其中某个按键已不再是该条目
写入的内容，则不写入任何内容，并列出这些按键（退出状态 2）。

选项：
</translation>
    </message>
    <message>
        <source>  --force                write back even keys that changed since the entry
</source>
        <translation>  --force                即使按键在该条目之后又被改变，也写回
</translation>
    </message>
    <message>
        <source>The write history of %1 could not be written in %2: %3. The write went on without it.</source>
        <translation>%1的写入历史无法写入%2：%3。写入照常进行，没有记入历史。</translation>
    </message>
    <message>
        <source>%1:%2: not a whole entry; passed over.</source>
        <translation>%1:%2：不是完整的条目，已跳过。</translation>
    </message>
    <message>
        <source>No write is in the history yet.</source>
        <translation>写入历史中还没有任何写入。</translation>
    </message>
    <message>
        <source>No attached device and no history has the id, serial or index &quot;%1&quot;.</source>
        <translation>没有已连接的设备或写入历史的 id、序列号或序号是“%1”。</translation>
    </message>
    <message>
        <source>The write history is off (TAVREL_HISTORY=0): nothing to undo.</source>
        <translation>写入历史已关闭（TAVREL_HISTORY=0）：没有可撤销的写入。</translation>
    </message>
    <message>
        <source>No write in the history of %1 changed a key: nothing to undo.</source>
        <translation>%1的写入历史中没有改变过按键的写入：没有可撤销的写入。</translation>
    </message>
    <message>
        <source>The history of %1 holds %2 entries: there is no entry %3.</source>
        <translation>%1的写入历史共有 %2 个条目：没有第 %3 条。</translation>
    </message>
    <message>
        <source>Entry %1 cannot be undone: %2 of %3 changed since. Nothing was written; --force writes the records back anyway.</source>
        <translation>无法撤销第 %1 条：%3的%2在那之后又被改变了。没有写入任何内容；--force 仍会写回原来的设置。</translation>
    </message>
    <message>
        <source>What %1 held before entry %2 is not known: left as it is.</source>
        <translation>第 %2 条之前%1的内容不明：保持不变。</translation>
    </message>
    <message>
        <source>Entry %1 of %2 changed no key that can be written back: nothing was written.</source>
        <translation>%2的第 %1 条没有改变可以写回的按键：没有写入任何内容。</translation>
    </message>
    <message>
        <source>Key %1 of %2 is %3 again.</source>
        <translation>%2的按键 %1 已恢复为 %3。</translation>
    </message>
    <message>
        <source>(not known)</source>
        <translation>(不明)</translation>
    </message>
    <message>
        <source>Key %1: %2 → %3</source>
        <translation>按键 %1：%2 → %3</translation>
    </message>
    <message>
        <source>%1:</source>
        <translation>%1：</translation>
    </message>
    <message>
        <source>%1 in port %2:</source>
        <translation>%1（端口 %2）：</translation>
    </message>
    <message>
        <source>(no entries)</source>
        <translation>(没有条目)</translation>
    </message>
    <message>
        <source>(no key changed)</source>
        <translation>(没有按键改变)</translation>
    </message>
</context>
</TS>
