// The logs, in the page: the newest lines of every tvn process (the repair's own lines are in the
// web process's log, not the main one), each marked with its process, errors and warnings stand
// out. It needs no file manager; one can still open the folder.

import { clear, el } from "./dom";
import { format } from "./texts";

export type LogLevel = "error" | "warning" | "info";

/** The level a log line names after its time ("2026-12-09 00:58:16.138 ERROR ..."). */
export function logLevel(text: string): LogLevel {
    const level = /^\S+ \S+ (\w+)/.exec(text)?.[1];
    return level === "ERROR" || level === "CRITICAL" ? "error" : level === "WARN" || level === "WARNING" ? "warning" : "info";
}

export interface LogsView {
    dialog: HTMLDialogElement;
    open(): void;
}

export function createLogsView(sys: Tvn.SysModule): LogsView {
    const list = el("pre", { class: "log-lines", tabIndex: 0, "aria-label": format("logsTitle") });
    const where = el("p", { class: "logs-folder" });
    let folder = "";
    const load = () => {
        list.textContent = format("logsReading");
        sys.readLogs({ lines: 500 }).then((answer) => {
            folder = answer.folder;
            where.textContent = format("logsFolder", { folder });
            clear(list);
            if (answer.lines.length === 0)
                list.textContent = format("logsNone");
            for (const line of answer.lines)
                list.appendChild(el("span", { class: `log-${logLevel(line.text)}` }, `${line.process.padEnd(9)} ${line.text}\n`));
            list.scrollTop = list.scrollHeight; // the newest at the bottom, in view
            console.info(`tvn: logs: ${answer.lines.length} lines`);
        });
    };
    const dialog = el("dialog", { class: "logs", "aria-labelledby": "logs-title" },
        el("h2", { id: "logs-title" }, format("logsTitle")),
        where, list,
        el("p", { class: "dialog-buttons" },
            el("button", { onclick: load }, format("logsRefresh")),
            el("button", { onclick: () => sys.showInExplorer({ path: `${folder}/main.log` }) }, format("logsOpenFolder")),
            el("button", { onclick: () => dialog.close() }, format("logsClose"))));
    return {
        dialog,
        open() {
            if (!dialog.open)
                dialog.showModal();
            load();
        },
    };
}
