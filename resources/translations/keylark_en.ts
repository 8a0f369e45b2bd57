<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>PreferencesController</name>
    <message>
        <source>General</source>
        <translation>General</translation>
    </message>
    <message>
        <source>PrefGeneral ToolTip</source>
        <translation>Serial port, start-up and sending</translation>
    </message>
    <message>
        <source>Keyer</source>
        <translation>Keyer</translation>
    </message>
    <message>
        <source>PrefKeyer ToolTip</source>
        <translation>Speed and timing of the Morse code</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Messages</translation>
    </message>
    <message>
        <source>PrefMessage ToolTip</source>
        <translation>Function-key labels and messages of the eight groups</translation>
    </message>
    <message>
        <source>Macro</source>
        <translation>Macros</translation>
    </message>
    <message>
        <source>PrefMacro ToolTip</source>
        <translation>Texts for $M, $O, $H, $J, $C, $R, the group macros and the greeting $G</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>PrefAdvanced ToolTip</source>
        <translation>DTR and RTS keying lines</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>PrefNetwork ToolTip</source>
        <translation>Keying by loggers over the network (cwdaemon protocol)</translation>
    </message>
</context>
</TS>
