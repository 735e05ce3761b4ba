<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>tavrel::Configuration</name>
    <message>
        <source>设置完成！</source>
        <translation>Settings saved.</translation>
    </message>
    <message>
        <source>、</source>
        <extracomment>Between the numbers of keys in a list.</extracomment>
        <translation>, </translation>
    </message>
    <message numerus="yes">
        <source>设置失败！%n个按键未写入：%1。</source>
        <translation>
            <numerusform>Settings not saved. Key %1 was not written.</numerusform>
            <numerusform>Settings not saved. %n keys were not written: %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>另一个程序仍在写入此设备。</source>
        <translation>Another program is still writing this device.</translation>
    </message>
</context>
<context>
    <name>tavrel::KeyFiles</name>
    <message>
        <source>按键尚未读取，请先连接并读取按键。</source>
        <translation>The keys have not been read yet: connect the device and read it first.</translation>
    </message>
</context>
<context>
    <name>tavrel::ErrorBox</name>
    <message>
        <source>未发现键盘钩子DLL</source>
        <translation>Keyboard hook library not found</translation>
    </message>
    <message>
        <source>在给定的 DLL中未发现所需的函数</source>
        <translation>Required functions not found in the keyboard hook library</translation>
    </message>
    <message>
        <source>创建内存映射文件时出错</source>
        <translation>Could not create the shared memory for the keyboard hook</translation>
    </message>
</context>
<context>
    <name>tavrel::MainWindow</name>
    <message>
        <source>保存按键配置…</source>
        <translation>Save key configuration…</translation>
    </message>
    <message>
        <source>载入按键配置…</source>
        <translation>Load key configuration…</translation>
    </message>
    <message>
        <source>按键配置 (*.json)</source>
        <translation>Key configurations (*.json)</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>保存按键配置</source>
        <translation>Save key configuration</translation>
    </message>
    <message>
        <source>载入按键配置</source>
        <translation>Load key configuration</translation>
    </message>
    <message>
        <source>按键尚未读取，无法保存。</source>
        <translation>The keys have not been read yet: there is nothing to save.</translation>
    </message>
    <message>
        <source>无法保存%1：%2</source>
        <translation>%1 could not be saved: %2</translation>
    </message>
    <message>
        <source>按键配置已保存到%1。</source>
        <translation>Key configuration saved to %1.</translation>
    </message>
    <message>
        <source>无法读取%1：%2</source>
        <translation>%1 could not be read: %2</translation>
    </message>
    <message>
        <source>%1未载入，按键没有改变：</source>
        <translation>%1 was not loaded; the keys are unchanged:</translation>
    </message>
    <message>
        <source>第%1行：%2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message numerus="yes">
        <source>另有%n处错误。</source>
        <translation>
            <numerusform>And %n more fault.</numerusform>
            <numerusform>And %n more faults.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>已载入%n个按键，点击“写入”写入设备。</source>
        <translation>
            <numerusform>Loaded %n key. Click “Write” to write it to the device.</numerusform>
            <numerusform>Loaded %n keys. Click “Write” to write them to the device.</numerusform>
        </translation>
    </message>
    <message>
        <source>没有发现USB按键!</source>
        <translation>No USB device found.</translation>
    </message>
    <message>
        <source>Tavrel 项目
反馈请访问网站</source>
        <translation>Tavrel project
Feedback:</translation>
    </message>
    <message>
        <source>模拟键盘按键</source>
        <translation>Keyboard key</translation>
    </message>
    <message>
        <source>模拟鼠标按键</source>
        <translation>Mouse key</translation>
    </message>
    <message>
        <source>模拟按键</source>
        <translation>Mouse button</translation>
    </message>
    <message>
        <source>鼠标左键</source>
        <translation>Left button</translation>
    </message>
    <message>
        <source>鼠标右键</source>
        <translation>Right button</translation>
    </message>
    <message>
        <source>滚轮按键</source>
        <translation>Wheel button</translation>
    </message>
    <message>
        <source>触发方式</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>单次按下</source>
        <translation>Single press</translation>
    </message>
    <message>
        <source>连续按键</source>
        <translation>Repeat while held</translation>
    </message>
    <message>
        <source>设置按键：1</source>
        <translation>Key 1</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>无线开关配对</source>
        <translation>Wireless pairing</translation>
    </message>
    <message>
        <source>设置完成！</source>
        <translation>Settings saved.</translation>
    </message>
    <message>
        <source>无线按键</source>
        <translation>Wireless</translation>
    </message>
    <message>
        <source>USB按键</source>
        <translation>USB device</translation>
    </message>
    <message>
        <source>发现USB按键，但当前用户没有读写它的权限，无法读取或写入设置。
请安装 udev 规则 70-tavrel.rules：在 Tavrel 源码目录中运行 scripts/install-udev-rule.sh，然后拔出并重新插入USB按键。</source>
        <translation>A USB device was found, but you have no permission to use it, so its settings cannot be read or written.
Install the udev rule 70-tavrel.rules by running scripts/install-udev-rule.sh in the Tavrel source folder, then unplug the USB device and plug it in again.</translation>
    </message>
    <message>
        <source>序列号:</source>
        <translation>Serial: </translation>
    </message>
    <message>
        <source>设置按键:%1</source>
        <translation>Key %1</translation>
    </message>
    <message>
        <source>型号未知：仅键盘按键</source>
        <translation>Unknown model:
keyboard keys only</translation>
    </message>
    <message>
        <source>键码%1</source>
        <translation>key code %1</translation>
    </message>
    <message>
        <source>收到：%1，连续按键（按键 %2）</source>
        <translation>Received: %1, repeated (key %2)</translation>
    </message>
    <message>
        <source>收到：%1，连续按键</source>
        <translation>Received: %1, repeated</translation>
    </message>
    <message>
        <source>收到：%1（按键 %2）</source>
        <translation>Received: %1 (key %2)</translation>
    </message>
    <message>
        <source>收到：%1</source>
        <translation>Received: %1</translation>
    </message>
    <message>
        <source>没有发现USB按键。</source>
        <translation>No USB device found.</translation>
    </message>
    <message>
        <source>请插入USB按键，Tavrel 会自动发现它。</source>
        <translation>Plug in a USB device: Tavrel finds it by itself.</translation>
    </message>
    <message>
        <source>按键已经插入却没有发现？当前用户可能没有访问它的权限：请在 Tavrel 源码目录中运行 scripts/install-udev-rule.sh 安装 udev 规则，然后拔出并重新插入按键。</source>
        <translation>Plugged in but not found? This user may have no access to it: run scripts/install-udev-rule.sh in Tavrel&apos;s source folder to install the udev rule, then unplug the device and plug it in again.</translation>
    </message>
    <message>
        <source>在终端中运行 tavrelctl list，可以查看系统找到的按键以及无法使用的原因。</source>
        <translation>In a terminal, tavrelctl list shows the devices the system finds and why one cannot be used.</translation>
    </message>
    <message>
        <source>等待其他程序写完…</source>
        <translation>Waiting for a write…</translation>
    </message>
    <message>
        <source>按键%1已被他处改写</source>
        <extracomment>Keys whose edit, not written yet, stays while another program wrote them.</extracomment>
        <translation>Key %1 set elsewhere</translation>
    </message>
    <message>
        <source>撤销上次写入</source>
        <translation>Undo last write</translation>
    </message>
    <message>
        <source>写入历史未保存：%1</source>
        <translation>Write history not saved: %1</translation>
    </message>
    <message>
        <source>写入历史已关闭（TAVREL_HISTORY=0），无法撤销。</source>
        <translation>The write history is off (TAVREL_HISTORY=0): nothing can be undone.</translation>
    </message>
    <message>
        <source>无法读取写入历史：%1</source>
        <translation>The write history cannot be read: %1</translation>
    </message>
    <message>
        <source>%1没有可撤销的写入。</source>
        <translation>%1 has no write to undo.</translation>
    </message>
    <message>
        <source>无法撤销上次写入：按键%1在那之后又被改变了。</source>
        <translation>The last write cannot be undone: key %1 changed since.</translation>
    </message>
    <message>
        <source>上次写入之前按键%1的内容不明，无法撤销。</source>
        <translation>What key %1 held before the last write is not known: it cannot be undone.</translation>
    </message>
    <message>
        <source>（无）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>撤销%1在%2的写入？以下按键将改变：</source>
        <translation>Undo the write to %1 at %2? These keys change:</translation>
    </message>
    <message>
        <source>按键%1：%2 → %3</source>
        <translation>Key %1: %2 → %3</translation>
    </message>
    <message>
        <source>按键%1之前的内容不明，保持不变。</source>
        <translation>What key %1 held before is not known: it stays as it is.</translation>
    </message>
    <message>
        <source>上次写入在确认期间已改变，没有撤销。</source>
        <translation>The last write changed while it was confirmed: nothing was undone.</translation>
    </message>
</context>
<context>
    <name>tavrel::PairingWindow</name>
    <message numerus="yes">
        <source>请在%n秒内按下待绑定的发射器任意键...</source>
        <translation>
            <numerusform>Press any key on the transmitter within %n second...</numerusform>
            <numerusform>Press any key on the transmitter within %n seconds...</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>1.每个接收器最多可绑定%n个发射器。</source>
        <translation>
            <numerusform>1. Each receiver can bind up to %n transmitter.</numerusform>
            <numerusform>1. Each receiver can bind up to %n transmitters.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>2.当绑定的发射器超过%n个，将会挤走最先绑定的发射器。</source>
        <translation>
            <numerusform>2. Binding more than %n transmitter drops the one bound first.</numerusform>
            <numerusform>2. Binding more than %n transmitters drops the one bound first.</numerusform>
        </translation>
    </message>
    <message>
        <source>3.可以&quot;解除所有绑定&quot;，删除接收器中绑定的全部发射器。</source>
        <translation>3. &quot;Clear all bindings&quot; unbinds every transmitter.</translation>
    </message>
    <message numerus="yes">
        <source>4.经过绑定的接收器，只能被绑定过的发射器遥控。最多%n个。</source>
        <translation>
            <numerusform>4. A bound receiver obeys only its transmitter, at most %n.</numerusform>
            <numerusform>4. A bound receiver obeys only its transmitters, at most %n.</numerusform>
        </translation>
    </message>
    <message>
        <source>无线设置</source>
        <translation>Wireless pairing</translation>
    </message>
    <message>
        <source>绑定发射器</source>
        <translation>Bind transmitter</translation>
    </message>
    <message>
        <source>10秒内按下发射器任意键。</source>
        <translation>Then press any key on the transmitter within 10 seconds.</translation>
    </message>
    <message>
        <source>发射器绑定操作</source>
        <translation>Transmitter pairing</translation>
    </message>
    <message>
        <source>解除所有绑定</source>
        <translation>Clear all bindings</translation>
    </message>
    <message>
        <source>解除绑定后，所有发射器均可使用。</source>
        <translation>Afterwards any transmitter can control the receiver.</translation>
    </message>
    <message>
        <source>计时结束,未收到发射器传来的按键信号。</source>
        <translation>Time is up: no key press came from a transmitter.</translation>
    </message>
    <message>
        <source>绑定请求发送失败，请检查接收器是否已连接。</source>
        <translation>Could not send the bind request. Is the receiver plugged in?</translation>
    </message>
    <message>
        <source>已解除所有绑定,接收器可以接收所有发射器的按键信号.</source>
        <translation>All bindings cleared: the receiver obeys every transmitter.</translation>
    </message>
    <message>
        <source>解除绑定请求发送失败，请检查接收器是否已连接。</source>
        <translation>Could not send the clear request. Is the receiver plugged in?</translation>
    </message>
    <message>
        <source>加入绑定发射器：%1</source>
        <translation>Transmitter bound: %1</translation>
    </message>
    <message>
        <source>绑定完成！</source>
        <translation>Binding complete.</translation>
    </message>
    <message>
        <source>此发射器之前已绑定过：%1</source>
        <translation>Transmitter already bound: %1</translation>
    </message>
    <message>
        <source>操作结束！</source>
        <translation>Done.</translation>
    </message>
</context>
<context>
    <name>tavrel::StateDump</name>
    <message>
        <source>tavrel：状态快照未写入%1：%2</source>
        <translation>tavrel: no state snapshot written to %1: %2</translation>
    </message>
</context>
</TS>
