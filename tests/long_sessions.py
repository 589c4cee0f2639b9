#!/usr/bin/env python3
"""Long sessions for the memory tests and the benchmarks, made the same way every
time from a fixed seed.

A session is a player name and then one line per turn, in code page 932. The
lines mix keyword lines, lines with no keyword of up to 99 bytes (ASCII, and
kana without さ or ば, which every farewell begins with), idle-chatter lines and
empty lines. None of them ends the conversation: no farewell, no spell word, no
temple word, so the session runs until its input ends.

Usage: long_sessions.py TURNS > session.txt"""
import random
import sys

# Keywords that the lord answers without ending the conversation, in short lines.
KEYWORD_LINES = [
    "こんにちは", "こんばんは", "おはようございます", "馬鹿者め", "すごいですね", "なぜじゃ",
    "ありがとう", "知らない", "ごめんなさい", "元気か", "足が痛い", "天下統一", "わかりました",
    "本当か", "鬼瓦様", "ファイナルアンサー", "てれほん", "まじで", "帰ります", "許して",
    "え？マジ？", "疲れた", "ちょんまげ", "宝はどこだ", "覚悟しろ", "知らね",
]

# Lines with no keyword that read like conversation.
CHATTER_LINES = [
    "そうか", "うむ", "今日はいい天気ですね", "お茶をどうぞ", "それで？", "なるほど",
    "hello", "月がきれいですね", "腹が減った", "ふむふむ", "お城は大きいですね",
]

ASCII = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,!?"
KANA = "あいうえおかきくけこしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
ENDING_LINES = {"さようなら", "ばいば", "さらば", "パルプンテ", "ほんのうじ", "本能寺"}


def line_without_keyword(rng: random.Random) -> bytes:
    if rng.random() < 0.5:
        return "".join(rng.choice(ASCII) for _ in range(rng.randint(1, 99))).encode("cp932")
    return "".join(rng.choice(KANA) for _ in range(rng.randint(1, 49))).encode("cp932")


def session(turns: int, seed: int = 20240601) -> bytes:
    rng = random.Random(seed)
    lines = ["太郎".encode("cp932")]
    for _ in range(turns):
        kind = rng.random()
        if kind < 0.35:
            line = rng.choice(KEYWORD_LINES).encode("cp932")
        elif kind < 0.70:
            line = line_without_keyword(rng)
        elif kind < 0.90:
            line = rng.choice(CHATTER_LINES).encode("cp932")
        else:
            line = b""
        assert len(line) <= 99 and line.decode("cp932") not in ENDING_LINES
        lines.append(line)
    return b"\n".join(lines) + b"\n"


if __name__ == "__main__":
    sys.stdout.buffer.write(session(int(sys.argv[1])))
