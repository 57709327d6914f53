package metascribe;

import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.FileDescriptor;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;

/**
 * Keeps one virtual machine with the PDF toolkit loaded and runs one toolkit request after
 * another in it, so a batch does not pay for starting Java once per file.
 *
 * <p>Every number is a big-endian 32-bit integer and every block is a length followed by that
 * many bytes, so any byte of a path or value survives. The host first writes the number
 * 0x4D534831 once it has found the toolkit. A request is the number of arguments, each argument
 * as a block of UTF-8, then a block that the toolkit reads as its standard input. The answer is
 * the exit code, then what the run wrote to standard error, then to standard output, as blocks.
 * The host ends at the end of its input.
 */
public final class ToolkitHost {
    private static final int READY = 0x4D534831;
    private static final int MISSING_TOOLKIT = 3;
    private static final int BLOCK_LIMIT = 64 * 1024 * 1024;

    private ToolkitHost() {}

    public static void main(String[] args) throws IOException {
        DataInputStream requests =
                new DataInputStream(new BufferedInputStream(new FileInputStream(FileDescriptor.in)));
        DataOutputStream answers = new DataOutputStream(
                new BufferedOutputStream(new FileOutputStream(FileDescriptor.out)));
        PrintStream hostErr = System.err;

        Method run;
        try {
            run = Class.forName("com.gitlab.pdftk_java.pdftk")
                          .getMethod("main_noexit", String[].class);
        } catch (ReflectiveOperationException missing) {
            hostErr.println("The toolkit cannot run in this host: " + missing);
            System.exit(MISSING_TOOLKIT);
            return;
        }
        answers.writeInt(READY);
        answers.flush();

        while (true) {
            int count;
            try {
                count = requests.readInt();
            } catch (EOFException end) {
                return;
            }
            if (count < 0 || count > 100000) {
                hostErr.println("Malformed request: " + count + " arguments");
                System.exit(2);
            }
            String[] arguments = new String[count];
            for (int i = 0; i < count; ++i)
                arguments[i] = new String(readBlock(requests), StandardCharsets.UTF_8);
            byte[] input = readBlock(requests);

            ByteArrayOutputStream err = new ByteArrayOutputStream();
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            System.setIn(new ByteArrayInputStream(input));
            System.setErr(new PrintStream(err, true, StandardCharsets.UTF_8));
            System.setOut(new PrintStream(out, true, StandardCharsets.UTF_8));
            int code;
            boolean fatal = false;
            try {
                code = ((Number) run.invoke(null, (Object) arguments)).intValue();
            } catch (InvocationTargetException failure) {
                // What an uncaught exception does to a toolkit process: a trace and status 1.
                failure.getCause().printStackTrace(System.err);
                fatal = failure.getCause() instanceof Error;
                code = 1;
            } catch (ReflectiveOperationException | RuntimeException failure) {
                failure.printStackTrace(System.err);
                code = 1;
            }
            System.out.flush();
            System.err.flush();
            answers.writeInt(code);
            writeBlock(answers, err.toByteArray());
            writeBlock(answers, out.toByteArray());
            answers.flush();
            // After an error such as running out of memory the next request gets a fresh host.
            if (fatal)
                System.exit(1);
        }
    }

    private static byte[] readBlock(DataInputStream in) throws IOException {
        int length = in.readInt();
        if (length < 0 || length > BLOCK_LIMIT)
            throw new IOException("Malformed request: block of " + length + " bytes");
        byte[] block = new byte[length];
        in.readFully(block);
        return block;
    }

    private static void writeBlock(DataOutputStream out, byte[] block) throws IOException {
        out.writeInt(block.length);
        out.write(block);
    }
}
