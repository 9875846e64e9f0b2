#!/usr/bin/env python3
"""Writes the fuzzer's seeds into corpus/, each behind the digit that picks its
reader: frames as an emulated device sends them, one per kind of answer the
program reads, and the inputs of the other readers."""
import json
import os
import struct

OWN_MAC = bytes([0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x01])
OWN_IP = bytes([198, 18, 0, 1])
DEVICE_MAC = bytes([0x02, 0x00, 0x00, 0x00, 0x00, 0x01])
DEVICE_IP = bytes([198, 18, 1, 1])


def frame(text):
    body = text.encode("utf-8")
    length = len(body) + 18
    header = bytes([0x88, 0x88, 0x01]) + struct.pack(">HII", length & 0xFFFF, 0, length)
    header += bytes(3) + struct.pack(">H", length & 0xFFFF)
    arp = struct.pack(">HHBBH", 1, 0x0800, 6, 4, 1) + DEVICE_MAC + DEVICE_IP + OWN_MAC + OWN_IP
    return OWN_MAC + DEVICE_MAC + b"\x08\x06" + arp + header + body


def compact(obj):
    return json.dumps(obj, separators=(",", ":"), ensure_ascii=False)


SEEDS = {
    "search_reply": compact({
        "id": 0, "method": "search", "result": "success", "mac": "02:00:00:00:00:01",
        "name": "Device 1", "type": "KM41", "ipMode": "static", "version": "1.0.0",
        "ip": "198.18.1.1", "gateway": "198.18.0.254", "netmask": "255.254.0.0",
        "dns1": "198.18.0.254", "dns2": "", "sn": "SN00000001", "uid": "UID000001",
        "account": "admin", "password": "admin", "autoMute": 0, "micVolume": 5, "outVolume": 5}),
    "sip_reply": compact({
        "id": 0, "result": "success",
        "sip0": {"serverHost": "198.18.5.5", "serverPort": "5060", "displayName": "Desk",
                 "account": "1011", "password": "pw"},
        "sip1": {"serverHost": "", "serverPort": "5060", "displayName": "", "account": "",
                 "password": ""}}),
    "rtp_reply": compact(dict(
        [("id", 0), ("result", "success")] +
        [("rtp%d" % i, {"enable": i & 1, "rtpIP": "239.0.0.%d" % (i + 1), "rtpPort": 5000 + 2 * i})
         for i in range(10)])),
    "capital_keys_string_id": '{"ID":"0","METHOD":"search","RESULT":"success","NAME":"Hall"}',
    # Hostile answers: another device's MAC claimed, a key named twice, a
    # password key written with an escape, numbers that are no ids.
    "claimed_mac": compact({"id": 0, "method": "search", "type": "KM41", "mac": "02:00:00:00:00:99"}),
    "duplicate_keys": '{"id":0,"method":"search","mac":"02:00:00:00:00:01","MAC":"02:00:00:00:00:99"}',
    "escaped_password_key": '{"id":0,"result":"success","sip0":{"pass\\u0077ord":"pw","pwd":[1,{"a":"b"}]}}',
    "bad_ids": '{"id":0.9,"result":"success","rtp0":{"enable":1e400,"rtpIP":"239.0.0.1","rtpPort":-1e400}}',
}


TEXT_SEEDS = {  # the first digit picks the reader
    "masker": b'0{"id":1,"method":"SetAccountPassword","password":"x","sip0":{"pass\\u0077ord":{"a":[1,"bc"]}}}',
    "batch": b"1198.18.0.254 255.255.254.0",
    "endpoint": b"1239.0.0.1:5004",
    "login": b'2{"Result":"ok"}\nPath=/; session=abc',
    "language": "3Search=Suchen\nDevice = \"Ger\u00e4t\"\n".encode("utf-8"),
    "ini": b"3[General]\nlangage=de\nalarm%20test=1\nrtp%20file%20list=a.mp3, b.mp3\n",
    "search": b"4" + b"\n".join(b"%d" % i + SEEDS[k].encode("utf-8") for i, k in
                              enumerate(["search_reply", "claimed_mac", "duplicate_keys", "search_reply"])),
    "read_then_write": ("5" + SEEDS["sip_reply"][:-1] + "," + SEEDS["rtp_reply"][1:]).encode("utf-8"),
    # MPEG-1 layer III, 128 kbit/s, 44.1 kHz: 417 bytes a frame, silence inside; bare and behind a tag.
    "mp3": b"7" + (b"\xff\xfb\x90\x64" + bytes(413)) * 3,
    "mp3_tagged": b"7ID3\x03\x00\x00\x00\x00\x00\x0a" + bytes(10) + (b"\xff\xfb\x90\x64" + bytes(413)) * 2,
}

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
for name, data in list(TEXT_SEEDS.items()) + [("frame_" + n, b"6" + frame(t)) for n, t in SEEDS.items()]:
    with open(os.path.join(here, name), "wb") as out:
        out.write(data)
